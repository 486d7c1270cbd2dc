#pragma once
// "Closing Netview": after the mesh network view has ended, waits for the
// reply to the last scan command, then clears the terminal, so that the reply
// does not land in the user's terminal later. "Force Close" stops waiting;
// Escape and the close box end it without clearing.

#include <QDialog>
#include <QTimer>

class NetViewHost;

class CCloseNetview : public QDialog {
    Q_OBJECT
public:
    explicit CCloseNetview(NetViewHost &host, QWidget *parent = nullptr);
    void done(int result) override;

public slots:
    // Every scan command goes out on an empty terminal, so any text at all
    // means the reply has begun (or no scan was out).
    void OnCloseTick();
    void OnForceClose();

private:
    NetViewHost &m_host;
    QTimer m_timer;
};
