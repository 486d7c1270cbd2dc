#include "common/LockBusy.h"

std::string LockBusyText(const LockBusy &busy)
{
    std::string text = busy.file + " is held by ";
    if (busy.holderPid == 0)
        return text + "another process";
    text += "process " + std::to_string(busy.holderPid);
    if (!busy.holderProgram.empty())
        text += " (" + busy.holderProgram + ")";
    if (busy.holderStopped)
        text += ", which is stopped";
    return text;
}
