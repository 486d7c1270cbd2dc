#pragma once
// SIGINT, SIGTERM and SIGHUP turned into a readable descriptor, so the poll
// loop ends cleanly (and removes what it published) instead of dying in a
// handler. SIGPIPE is ignored: a vanished reader is a write error, not death.

class SignalPipe {
public:
    SignalPipe();
    ~SignalPipe();
    int Fd() const;
    bool Raised() const;
};
