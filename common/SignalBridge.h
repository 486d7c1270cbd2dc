#pragma once
// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the GUI thread, so
// that they end Verrin the way closing the main window does.

#include <QObject>

class QSocketNotifier;

class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject *parent = nullptr);

signals:
    void TerminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
