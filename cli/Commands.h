#pragma once
// The commands of verrin-cli. Each takes the arguments after its command word
// and returns the program's exit status (see ExitStatus.h).

#include <QStringList>

int RunLoad(const QStringList &arguments);
int RunScan(const QStringList &arguments);
// Whether a scan's arguments ask for a picture (--format png or svg), which
// needs fonts and so a GUI application (on the offscreen platform).
bool ScanDrawsPictures(const QStringList &arguments);
int RunSend(const QStringList &arguments);
