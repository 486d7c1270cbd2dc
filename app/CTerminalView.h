#pragma once
// The terminal view: shows the terminal text and nothing else. It keeps no
// copy of the text: it paints the visible rows straight from it, finding them
// through a line index that follows the text's ViewUpdates, so a full
// terminal costs the same to update and to paint as an empty one.
//
// Long lines wrap at the width of the view; LF, CR LF and a CR without LF
// break lines; other control characters show as an empty box, bytes above
// 0x7E (only echoed text holds them) as their characters of the 8-bit page. The view
// never edits the text: keys aimed at it are handled by the main window,
// which writes them to the port and changes the text, and the view follows.

#include "app/TerminalLines.h"
#include "dialogs/CColorEdit.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <memory>

class CTerminalView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CTerminalView(QWidget *parent = nullptr);

    // Brings the view up to date with text and scrolls to its end. From the
    // first call on the view shows this text and reads it whenever it paints,
    // so text must outlive the view and be the same object on every call.
    void Follow(TerminalText &text);

    // The colour rules of CColorEdit: read-only keeps the stored background,
    // writable turns it white; callers set other colours after SetReadOnly.
    void SetBackgroundColor(uint32_t colorValue);
    void SetTextColor(uint32_t colorValue);
    void SetReadOnly(bool readOnly);
    uint32_t BackgroundColor() const { return m_colors.Background(); }
    uint32_t TextColor() const { return m_colors.Text(); }
    bool IsReadOnly() const { return m_readOnly; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    // No menu of its own: the main window's shows instead.
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    friend class CTerminalViewAccessible;

    std::string_view Shown() const;
    void MeasureFont();
    int Columns() const;
    int VisibleRows() const;
    void UpdateScrollRange();
    void ScrollToEnd();
    // After a change of size or font: rewrap, and keep the end or the top line in view.
    void Relayout();
    void DrawRow(QPainter &painter, std::string_view cells, int y) const;
    QRect CaretRect() const;
    // Viewport rectangle of the cell at offset, and the offset under a point.
    QRect CellRect(size_t offset) const;
    size_t OffsetAt(QPoint point) const;
    void ScrollToOffset(size_t offset);
    void NotifyAccessibility(const TerminalText::ViewUpdate &update, size_t lengthBefore);

    CControlColors m_colors;
    bool m_readOnly = true;
    const TerminalText *m_text = nullptr;
    size_t m_shownLength = 0; // length of the text at the last Follow
    std::unique_ptr<TerminalLines> m_lines;
    QFont m_cellFont;
    qreal m_cellWidth = 8;
    int m_rowHeight = 14;
    int m_ascent = 11;
    QBasicTimer m_caretBlink;
    bool m_caretOn = true;
};
