#pragma once
// The application: reads the command line, builds the main window and runs
// it; Verrin ends when the main window closes.

class CVerrinApp {
public:
    // Returns the process exit status.
    int InitInstance(int argc, char **argv);
};
