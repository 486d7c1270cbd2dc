#pragma once
// The debug screen: a running trace of the firmware download (control bytes,
// block sizes, steps). Modeless, created hidden by the main window and kept
// for the life of the process. Debug mode governs it: while it is off the
// window stays hidden and every trace call does nothing.
//
// Debug mode starts off (the settings load never reads the stored
// "DebugMode"). The main window switches it on from its "--debug" option
// with SetDebugMode, and offers DebugModeAction in a context menu; the
// action's toggled signal is where it copies the flag into its settings.

#include "transfer/TransferSinks.h"

#include <QDialog>
#include <QString>

#include <string>

class QAction;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class CDebug : public QDialog, public TraceSink {
    Q_OBJECT
public:
    explicit CDebug(QWidget *parent = nullptr);

    // Shows the window and starts tracing, or hides it and stops.
    void SetDebugMode(bool on);
    bool DebugMode() const;
    // A checkable "Debug Mode" entry that follows and sets the flag.
    QAction *DebugModeAction() const { return debugModeAction_; }

    void TraceText(std::string_view text) override;
    void TraceControlByte(uint8_t byte) override;

    // "Clear": empties the trace, in either mode.
    void Clear();
    // Everything traced since the last Clear.
    const std::string &TraceLog() const { return log_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ApplyDebugMode(bool on);
    void ShowPending();

    std::string log_;
    // Traced text not yet in the field. Each insertion into the field costs
    // far more than its text, and a fast transfer traces a few times per
    // block, so the field takes what came in the last 50 ms in one piece.
    QString pending_;
    QTimer *showTimer_;
    QPlainTextEdit *text_;
    QPushButton *clear_;
    QAction *debugModeAction_;
};
