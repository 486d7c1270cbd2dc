#include "app/CTerminalView.h"

#include "common/CodePage.h"
#include "common/QtText.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QContextMenuEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace {
constexpr int kMarginX = 3; // blank pixels left and right of the text
constexpr int kMarginTop = 1;

// Bytes of the 8-bit page that stand for control characters show as a box.
bool IsControl(uint8_t c)
{
    const char16_t u = CodePageToUnicode(c);
    return u < 0x20 || (u >= 0x7F && u < 0xA0);
}

// text[begin, end), clamped to the text.
std::string_view Slice(std::string_view text, size_t begin, size_t end)
{
    begin = std::min(begin, text.size());
    end = std::min(std::max(begin, end), text.size());
    return text.substr(begin, end - begin);
}
} // namespace

// What assistive technology reads: the whole terminal text, one character per
// byte, by character or by line, with the caret at its end.
class CTerminalViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CTerminalViewAccessible(CTerminalView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = View()->IsReadOnly();
        s.editable = !s.readOnly;
        s.multiLine = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? text(0, characterCount()) : QAccessibleWidget::text(t);
    }

    // There is no selection, and the caret stays at the end.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return characterCount(); }
    void setCursorPosition(int) override {}

    int characterCount() const override { return int(View()->Shown().size()); }

    QString text(int startOffset, int endOffset) const override
    {
        const std::string_view s =
            Slice(View()->Shown(), size_t(std::max(startOffset, 0)), size_t(std::max(endOffset, 0)));
        return FromCodePage(s);
    }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                         int *endOffset) const override
    {
        *startOffset = *endOffset = -1;
        if (offset < 0 || offset > characterCount())
            return {};
        if (type == QAccessible::CharBoundary)
            return CharAt(offset, startOffset, endOffset);
        if (IsLineBoundary(type))
            return LineAt(LineOf(offset), startOffset, endOffset);
        return QAccessibleTextInterface::textAtOffset(offset, type, startOffset, endOffset);
    }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                             int *endOffset) const override
    {
        *startOffset = *endOffset = -1;
        if (offset < 0 || offset > characterCount())
            return {};
        if (type == QAccessible::CharBoundary)
            return CharAt(offset - 1, startOffset, endOffset);
        if (IsLineBoundary(type))
            return LineOf(offset) == 0 ? QString() : LineAt(LineOf(offset) - 1, startOffset, endOffset);
        return QAccessibleTextInterface::textBeforeOffset(offset, type, startOffset, endOffset);
    }

    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                            int *endOffset) const override
    {
        *startOffset = *endOffset = -1;
        if (offset < 0 || offset > characterCount())
            return {};
        if (type == QAccessible::CharBoundary)
            return CharAt(offset + 1, startOffset, endOffset);
        if (IsLineBoundary(type))
            return LineAt(LineOf(offset) + 1, startOffset, endOffset);
        return QAccessibleTextInterface::textAfterOffset(offset, type, startOffset, endOffset);
    }

    QRect characterRect(int offset) const override
    {
        const QRect r = View()->CellRect(size_t(std::max(offset, 0)));
        return QRect(View()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = View()->viewport()->mapFromGlobal(point);
        return View()->viewport()->rect().contains(local) ? int(View()->OffsetAt(local)) : -1;
    }

    void scrollToSubstring(int startIndex, int) override { View()->ScrollToOffset(size_t(std::max(startIndex, 0))); }

    // One plain font and colour pair over the whole text.
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    CTerminalView *View() const { return static_cast<CTerminalView *>(widget()); }

    static bool IsLineBoundary(QAccessible::TextBoundaryType type)
    {
        return type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary;
    }

    size_t LineOf(int offset) const
    {
        return View()->m_lines ? View()->m_lines->LineOfOffset(size_t(offset)) : 0;
    }

    QString CharAt(int offset, int *startOffset, int *endOffset) const
    {
        if (offset < 0 || offset >= characterCount())
            return {};
        *startOffset = offset;
        *endOffset = offset + 1;
        return text(offset, offset + 1);
    }

    // The line with its line end, as the text holds it.
    QString LineAt(size_t line, int *startOffset, int *endOffset) const
    {
        const TerminalLines *lines = View()->m_lines.get();
        const size_t count = lines ? lines->LineCount() : 1;
        if (line >= count)
            return {};
        *startOffset = lines ? int(lines->LineStart(line)) : 0;
        *endOffset = line + 1 < count ? int(lines->LineStart(line + 1)) : characterCount();
        return text(*startOffset, *endOffset);
    }
};

namespace {
QAccessibleInterface *CreateAccessible(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<CTerminalView *>(object))
        return new CTerminalViewAccessible(view);
    return nullptr;
}
} // namespace

CTerminalView::CTerminalView(QWidget *parent) : QAbstractScrollArea(parent), m_colors(this)
{
    static const bool accessibleInstalled = (QAccessible::installFactory(&CreateAccessible), true);
    (void)accessibleInstalled;
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
    MeasureFont();
    UpdateScrollRange();
}

std::string_view CTerminalView::Shown() const { return m_text ? m_text->Text() : std::string_view(); }

void CTerminalView::Follow(TerminalText &text)
{
    if (m_text != &text) {
        // Index the text as it is now; the updates so far are all in it.
        text.TakeViewUpdate();
        m_text = &text;
        m_lines = std::make_unique<TerminalLines>(text);
        m_lines->SetColumns(size_t(Columns()));
    } else {
        const TerminalText::ViewUpdate update = text.TakeViewUpdate();
        if (!update.changed)
            return;
        m_lines->Apply(update);
        if (QAccessible::isActive())
            NotifyAccessibility(update, m_shownLength);
    }
    m_shownLength = text.Length();
    ScrollToEnd();
}

void CTerminalView::NotifyAccessibility(const TerminalText::ViewUpdate &update, size_t lengthBefore)
{
    // The removed text is gone by now; as Qt's own editors do, report spaces
    // of its length.
    const size_t cutAtEnd = lengthBefore - update.dropFront - update.keep;
    if (update.dropFront > 0) {
        QAccessibleTextRemoveEvent removed(this, 0, QString(qsizetype(update.dropFront), u' '));
        QAccessible::updateAccessibility(&removed);
    }
    if (cutAtEnd > 0) {
        QAccessibleTextRemoveEvent removed(this, int(update.keep), QString(qsizetype(cutAtEnd), u' '));
        QAccessible::updateAccessibility(&removed);
    }
    if (!update.append.empty()) {
        QAccessibleTextInsertEvent inserted(
            this, int(update.keep),
            FromCodePage(update.append));
        QAccessible::updateAccessibility(&inserted);
    }
    QAccessibleTextCursorEvent caret(this, int(m_text->Length()));
    QAccessible::updateAccessibility(&caret);
}

void CTerminalView::SetBackgroundColor(uint32_t colorValue)
{
    m_colors.SetBackground(colorValue);
    viewport()->update();
}

void CTerminalView::SetTextColor(uint32_t colorValue)
{
    m_colors.SetText(colorValue);
    viewport()->update();
}

void CTerminalView::SetReadOnly(bool readOnly)
{
    m_colors.SetReadOnly(readOnly);
    m_readOnly = readOnly;
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.readOnly = true;
        changed.editable = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void CTerminalView::MeasureFont()
{
    m_cellFont = font();
    // A monospace face stands in when the named one is missing; every
    // character then takes the same cell, which the wrapping relies on.
    m_cellFont.setStyleHint(QFont::TypeWriter);
    m_cellFont.setKerning(false);
    m_cellWidth = std::max<qreal>(1, QFontMetricsF(m_cellFont).horizontalAdvance(QLatin1Char('M')));
    const QFontMetrics metrics(m_cellFont);
    m_rowHeight = std::max(1, metrics.lineSpacing());
    m_ascent = metrics.ascent();
}

int CTerminalView::Columns() const
{
    return std::max(1, int((viewport()->width() - 2 * kMarginX) / m_cellWidth));
}

int CTerminalView::VisibleRows() const { return std::max(1, (viewport()->height() - kMarginTop) / m_rowHeight); }

void CTerminalView::UpdateScrollRange()
{
    const size_t rows = m_lines ? m_lines->RowCount() : 1;
    const size_t visible = size_t(VisibleRows());
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(int(visible));
    bar->setRange(0, int(std::min<size_t>(rows > visible ? rows - visible : 0, INT_MAX)));
}

void CTerminalView::ScrollToEnd()
{
    UpdateScrollRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_caretOn = true;
    viewport()->update();
}

void CTerminalView::Relayout()
{
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const size_t top = OffsetAt(QPoint(kMarginX, kMarginTop));
    if (m_lines && m_lines->Columns() != size_t(Columns()))
        m_lines->SetColumns(size_t(Columns()));
    UpdateScrollRange();
    if (atEnd)
        bar->setValue(bar->maximum());
    else
        ScrollToOffset(top);
    viewport()->update();
}

void CTerminalView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void CTerminalView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        MeasureFont();
        Relayout();
    } else if (event->type() == QEvent::EnabledChange) {
        viewport()->update();
    }
}

void CTerminalView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    m_caretOn = true;
    if (QApplication::cursorFlashTime() > 0)
        m_caretBlink.start(QApplication::cursorFlashTime() / 2, this);
    viewport()->update(CaretRect());
}

void CTerminalView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_caretBlink.stop();
    viewport()->update(CaretRect());
}

void CTerminalView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_caretBlink.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    m_caretOn = !m_caretOn;
    viewport()->update(CaretRect());
}

void CTerminalView::contextMenuEvent(QContextMenuEvent *event) { event->ignore(); }

void CTerminalView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, CControlColors::ToQColor(BackgroundColor()));
    if (!m_lines)
        return;
    const QColor textColor = CControlColors::ToQColor(TextColor());
    painter.setFont(m_cellFont);
    painter.setPen(textColor);
    const std::string_view text = Shown();
    const size_t columns = size_t(Columns());
    const int firstRow = std::max(0, (area.top() - kMarginTop) / m_rowHeight);
    const int lastRow = (area.bottom() - kMarginTop) / m_rowHeight;
    const size_t topRow = size_t(verticalScrollBar()->value());
    const size_t rowCount = m_lines->RowCount();
    TerminalLines::RowPlace place = m_lines->LocateRow(topRow + firstRow);
    for (int row = firstRow; row <= lastRow && topRow + row < rowCount; ++row) {
        const TerminalLines::Cells cells = m_lines->LineCells(place.line);
        const size_t begin = cells.begin + place.rowInLine * columns;
        DrawRow(painter, Slice(text, begin, std::min(begin + columns, cells.end)),
                kMarginTop + row * m_rowHeight);
        if (++place.rowInLine == m_lines->RowsOf(place.line)) {
            ++place.line;
            place.rowInLine = 0;
        }
    }
    if (hasFocus() && m_caretOn)
        painter.fillRect(CaretRect(), textColor);
}

void CTerminalView::DrawRow(QPainter &painter, std::string_view cells, int y) const
{
    QString row(qsizetype(cells.size()), Qt::Uninitialized);
    QChar *out = row.data();
    bool controls = false;
    for (size_t i = 0; i < cells.size(); ++i) {
        const uint8_t c = uint8_t(cells[i]);
        controls |= IsControl(c);
        // The soft hyphen would take no room of its own; it shows as a hyphen
        // so that every character keeps its cell.
        out[i] = IsControl(c) ? QChar(u' ') : c == 0xAD ? QChar(u'-') : QChar(CodePageToUnicode(c));
    }
    painter.drawText(QPointF(kMarginX, y + m_ascent), row);
    if (!controls)
        return;
    for (size_t i = 0; i < cells.size(); ++i)
        if (IsControl(uint8_t(cells[i])))
            painter.drawRect(QRectF(kMarginX + i * m_cellWidth + 1.5, y + 2.5, m_cellWidth - 3, m_rowHeight - 5));
}

QRect CTerminalView::CellRect(size_t offset) const
{
    if (!m_lines)
        return QRect(kMarginX, kMarginTop, int(m_cellWidth + 0.5), m_rowHeight);
    const size_t columns = size_t(Columns());
    const size_t line = m_lines->LineOfOffset(offset);
    const TerminalLines::Cells cells = m_lines->LineCells(line);
    const size_t column = std::min(offset, cells.end) - cells.begin;
    // The end of a line that fills its last row stays on that row.
    const size_t rowInLine = std::min(column / columns, m_lines->RowsOf(line) - 1);
    const long long row = (long long)(m_lines->FirstRowOf(line) + rowInLine) - verticalScrollBar()->value();
    return QRect(kMarginX + int((column - rowInLine * columns) * m_cellWidth),
                 kMarginTop + int(row * m_rowHeight), int(m_cellWidth + 0.5), m_rowHeight);
}

QRect CTerminalView::CaretRect() const
{
    const QRect cell = CellRect(Shown().size());
    return QRect(cell.left(), cell.top(), 2, m_rowHeight);
}

size_t CTerminalView::OffsetAt(QPoint point) const
{
    if (!m_lines)
        return 0;
    const size_t columns = size_t(Columns());
    const int row = std::max(0, (point.y() - kMarginTop) / m_rowHeight);
    const TerminalLines::RowPlace place = m_lines->LocateRow(size_t(verticalScrollBar()->value()) + row);
    const size_t column = std::min(columns, size_t(std::max(0.0, (point.x() - kMarginX) / m_cellWidth)));
    const TerminalLines::Cells cells = m_lines->LineCells(place.line);
    return std::min(cells.begin + place.rowInLine * columns + column, cells.end);
}

void CTerminalView::ScrollToOffset(size_t offset)
{
    if (!m_lines)
        return;
    const size_t line = m_lines->LineOfOffset(offset);
    const TerminalLines::Cells cells = m_lines->LineCells(line);
    const size_t rowInLine =
        std::min((std::min(offset, cells.end) - cells.begin) / size_t(Columns()), m_lines->RowsOf(line) - 1);
    verticalScrollBar()->setValue(int(std::min<size_t>(m_lines->FirstRowOf(line) + rowInLine, INT_MAX)));
}
