#pragma once
// What the loader window needs from the main window. The main window keeps
// the loading flag, the settings and the transfer; the loader only asks.

#include "transfer/YmodemSender.h"

#include <cstdint>
#include <string>
#include <vector>

// The settings the loader copies at "Load" and hands back at "OK".
struct LoaderSettings {
    std::string downloadPath;
    std::string downloadFilename;
    std::string bdAddr;
    uint32_t smallPackets = 0;
};

class LoaderHost {
public:
    virtual ~LoaderHost() = default;
    // Empties the terminal text and the Rx count, as "Clear" does.
    virtual void ClearTerminal() = 0;
    // Sets or clears the loading flag; the loader runs UpdateControlStates
    // itself afterwards.
    virtual void SetLoading(bool loading) = 0;
    virtual void UpdateControlStates() = 0;
    // The copies go back into the main window's fields and every setting of
    // the profile is saved.
    virtual void ApplyLoaderSettings(const LoaderSettings &settings) = 0;
    // YmodemSender::Start on the main window's transfer state.
    virtual StartResult StartTransfer(std::vector<uint8_t> image) = 0;
    // YmodemSender::RequestAbort.
    virtual void RequestTransferAbort() = 0;
};
