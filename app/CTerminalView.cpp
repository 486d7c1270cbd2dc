#include "app/CTerminalView.h"

#include <QContextMenuEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

QString TerminalDisplayText(std::string_view text)
{
    QString s = QString::fromLatin1(text.data(), qsizetype(text.size()));
    s.replace(QChar(u'\r'), QChar(0x200B));
    return s;
}

CTerminalView::CTerminalView(QWidget *parent) : CColorEdit(parent)
{
    setUndoRedoEnabled(false);
    setAcceptDrops(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    ApplyReadOnly(true);
}

void CTerminalView::ApplyReadOnly(bool readOnly)
{
    // Qt's own editing stays off in both states: typing reaches the terminal
    // text through the main window. Writable means the caret shows and the
    // keyboard can select and scroll.
    setReadOnly(true);
    setTextInteractionFlags(readOnly ? Qt::TextSelectableByMouse
                                     : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void CTerminalView::contextMenuEvent(QContextMenuEvent *event)
{
    // No cut or copy menu here; the main window's own menu shows instead.
    event->ignore();
}

void CTerminalView::Follow(TerminalText &text)
{
    const TerminalText::ViewUpdate u = text.TakeViewUpdate();
    if (!u.changed)
        return;
    QTextDocument *doc = document();
    QTextCursor c(doc);
    c.beginEditBlock();
    const int length = doc->characterCount() - 1;
    const int drop = int(std::min<size_t>(u.dropFront, size_t(length)));
    if (drop > 0) {
        c.setPosition(0);
        c.setPosition(drop, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    const int rest = length - drop;
    if (u.keep < size_t(rest)) {
        c.setPosition(int(u.keep));
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    if (!u.append.empty()) {
        c.movePosition(QTextCursor::End);
        c.insertText(TerminalDisplayText(u.append));
    }
    c.endEditBlock();
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
