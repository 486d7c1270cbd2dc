#pragma once
// The main window's "Net View" button: asks the module for its settings, runs
// the mesh network view, then waits in "Closing Netview" for the last scan
// reply before the terminal is handed back. Returns when both have ended.

class NetViewHost;
class QWidget;

void RunNetView(NetViewHost &host, QWidget *parent);
