// The terminal view on its own: it stays at the end of the terminal text,
// scrolls back through all of it, and paints in the colours it is given. The
// line index it lays the text out with is checked in terminal_lines_test.cpp.
#include "app/CTerminalView.h"
#include "dialogs/ColorText.h"

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct View {
    TerminalText text;
    CTerminalView view;

    View()
    {
        QFont font(QStringLiteral("Courier New"));
        font.setPixelSize(12);
        view.setFont(font);
        view.resize(320, 200);
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
    }
    void Echo(std::string_view s)
    {
        text.Echo(s);
        view.Follow(text);
    }
    QAccessibleTextInterface *Access() { return QAccessible::queryAccessibleInterface(&view)->textInterface(); }
    // Viewport rectangle of the character cell at offset.
    QRect Cell(int offset)
    {
        const QRect r = Access()->characterRect(offset);
        return QRect(view.viewport()->mapFromGlobal(r.topLeft()), r.size());
    }
    int OffsetAt(QPoint viewportPoint) { return Access()->offsetAtPoint(view.viewport()->mapToGlobal(viewportPoint)); }
    // Cells in a row, read off the first line, which must wrap.
    int Columns()
    {
        int columns = 1;
        while (Cell(columns).top() == Cell(0).top())
            ++columns;
        return columns;
    }
    bool AtEnd() { return view.verticalScrollBar()->value() == view.verticalScrollBar()->maximum(); }
    // Whether a pixel of area in the viewport comes close to the colour.
    bool Painted(QRect area, uint32_t colorValue)
    {
        const QImage shot = view.viewport()->grab().toImage();
        const QColor want = CControlColors::ToQColor(colorValue);
        area &= shot.rect();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                        std::abs(c.blue() - want.blue()) < 60)
                    return true;
            }
        return false;
    }
};
} // namespace

TEST(TerminalViewWidget, PaintsTheLastRowInTheColoursSetAndKeepsTheEditBoxColourRules)
{
    View v;
    for (int i = 0; i < 40; ++i)
        v.Echo("line " + std::to_string(i) + "\r\n");
    v.Echo("last");
    v.view.SetReadOnly(false);
    v.view.SetBackgroundColor(ParseColor("DDDDFF"));
    v.view.SetTextColor(ParseColor("FF0000"));
    const QRect last = v.Cell(int(v.text.Length()) - 4).united(v.Cell(int(v.text.Length()) - 1));
    EXPECT_TRUE(v.Painted(last, ParseColor("FF0000"))) << "the last row, in view";
    EXPECT_FALSE(v.Painted(QRect(0, last.bottom() + 1, 999, 999), ParseColor("FF0000"))) << "nothing below it";
    EXPECT_EQ(v.view.viewport()->grab().toImage().pixelColor(v.view.viewport()->width() - 2, last.center().y()),
              CControlColors::ToQColor(ParseColor("DDDDFF")));

    // Writable turns the background white; read-only keeps the one stored.
    v.view.SetBackgroundColor(0x123456);
    v.view.SetReadOnly(false);
    EXPECT_EQ(v.view.BackgroundColor(), 0xFFFFFFu);
    v.view.SetBackgroundColor(0x123456);
    v.view.SetReadOnly(true);
    EXPECT_EQ(v.view.BackgroundColor(), 0x123456u);
}

TEST(TerminalViewWidget, ScrollsBackThroughTheWholeText)
{
    View v;
    for (int i = 0; i < 200; ++i)
        v.Echo("row " + std::to_string(1000 + i) + "\r\n"); // ten characters a line
    QScrollBar *bar = v.view.verticalScrollBar();
    const QPoint topLeft(4, 2);
    bar->setValue(0);
    EXPECT_EQ(v.OffsetAt(topLeft), 0);
    bar->setValue(57);
    EXPECT_EQ(v.OffsetAt(topLeft), 570);
    bar->setValue(bar->maximum());
    QWheelEvent wheel(QPointF(50, 50), v.view.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(v.view.viewport(), &wheel);
    EXPECT_LT(bar->value(), bar->maximum()) << "the wheel scrolls back";
    v.Echo("x");
    EXPECT_TRUE(v.AtEnd()) << "new text scrolls to the end again";
    v.view.resize(150, 200);
    EXPECT_TRUE(v.AtEnd()) << "a narrower view keeps the end in view";

    // One line longer than the limit (a hex step) wraps, and any row of it can be reached.
    std::vector<uint8_t> bytes(1500000, 0xA5);
    v.text.AppendHex(bytes.data(), bytes.size());
    v.view.Follow(v.text);
    const int columns = v.Columns();
    EXPECT_EQ(bar->maximum() + bar->pageStep(), (int(v.text.Length()) - 2 + columns - 1) / columns + 1);
    EXPECT_EQ(v.Access()->cursorPosition(), int(v.text.Length())) << "the caret follows the end";
    bar->setValue(12345);
    EXPECT_EQ(v.OffsetAt(topLeft), 12345 * columns);
}
