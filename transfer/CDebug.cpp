#include "transfer/CDebug.h"

#include "common/QtText.h"
#include "transfer/TraceNames.h"

#include <QAction>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

CDebug::CDebug(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Debug Screen"));
    setModal(false);

    // The controls keep their place and size when the window is resized.
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setUndoRedoEnabled(false);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setAccessibleName(QStringLiteral("Trace"));
    text_->setGeometry(10, 10, 460, 320);
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    clear_->setAccessibleName(clear_->text());
    clear_->setAutoDefault(false);
    clear_->setGeometry(10, 340, 80, 26);
    resize(480, 376);

    debugModeAction_ = new QAction(QStringLiteral("Debug Mode"), this);
    debugModeAction_->setCheckable(true);
    connect(debugModeAction_, &QAction::toggled, this, &CDebug::ApplyDebugMode);
    connect(clear_, &QPushButton::clicked, this, &CDebug::Clear);

    showTimer_ = new QTimer(this);
    showTimer_->setSingleShot(true);
    showTimer_->setInterval(50);
    connect(showTimer_, &QTimer::timeout, this, &CDebug::ShowPending);
}

void CDebug::SetDebugMode(bool on)
{
    debugModeAction_->setChecked(on);
}

bool CDebug::DebugMode() const
{
    return debugModeAction_->isChecked();
}

void CDebug::ApplyDebugMode(bool on)
{
    setVisible(on);
}

void CDebug::TraceText(std::string_view text)
{
    if (!DebugMode() || text.empty())
        return;
    log_.append(text);
    pending_.append(FromCodePage(text));
    if (!showTimer_->isActive())
        showTimer_->start();
}

// Appending at the end shows the same text as rewriting the field from the
// log would, at the cost of the new text only.
void CDebug::ShowPending()
{
    text_->moveCursor(QTextCursor::End);
    text_->insertPlainText(pending_);
    pending_.clear();
    text_->moveCursor(QTextCursor::End);
    text_->ensureCursorVisible();
}

void CDebug::TraceControlByte(uint8_t byte)
{
    if (DebugMode())
        TraceText(ControlByteName(byte));
}

void CDebug::Clear()
{
    log_.clear();
    pending_.clear();
    showTimer_->stop();
    text_->clear();
}

// Enter is this dialog's OK: it hides the window, as Escape does.
void CDebug::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
