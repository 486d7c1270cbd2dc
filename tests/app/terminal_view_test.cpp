// The terminal view on its own: it shows exactly the terminal text, stays at
// its end, scrolls back through all of it, and paints in the colours it is
// given.
#include "app/CTerminalView.h"
#include "app/TerminalViewText.h"
#include "dialogs/ColorText.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

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
    void Receive(std::string_view s)
    {
        text.AppendReceived(reinterpret_cast<const uint8_t *>(s.data()), s.size());
        view.Follow(text);
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
};

bool HasColor(const QImage &image, QRect area, uint32_t colorValue)
{
    const QColor want = CControlColors::ToQColor(colorValue);
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                    std::abs(c.blue() - want.blue()) < 60)
                return true;
        }
    return false;
}
} // namespace

TEST(TerminalViewWidget, ShowsExactlyTheTextAndItsEndAfterEveryChange)
{
    View v;
    std::mt19937 rng(7);
    const std::string alphabet = "ab \r\n\r\n\b\x03\xE9";
    for (int op = 0; op < 400; ++op) {
        std::string s(rng() % 30, ' ');
        for (char &c : s)
            c = alphabet[rng() % alphabet.size()];
        switch (rng() % 6) {
        case 0: v.Echo(s); break;
        case 1: v.text.RubOut(); v.view.Follow(v.text); break;
        case 2: v.text.AppendHex(reinterpret_cast<const uint8_t *>(s.data()), s.size()); v.view.Follow(v.text); break;
        case 3: v.view.resize(100 + int(rng() % 300), 200); break;
        default: v.Receive(s);
        }
        if (op == 370)
            v.Receive(std::string(TerminalText::kLimit, 'x')); // trims
        if (op == 390) {
            v.text.Clear();
            v.view.Follow(v.text);
        }
        ASSERT_EQ(ShownText(&v.view), std::string(v.text.Text())) << "op " << op;
        ASSERT_EQ(v.Access()->cursorPosition(), int(v.text.Length())) << "op " << op;
        ASSERT_TRUE(v.AtEnd()) << "op " << op;
    }
}

TEST(TerminalViewWidget, PaintsTheLastRowAndTheCaretInTheColoursSet)
{
    struct Case {
        const char *name;
        bool enabled, readOnly;
        uint32_t background, textColor; // set after SetReadOnly, unless background is ~0
        uint32_t wantBackground;
    } cases[] = {
        {"writable, profile colours", true, false, ParseColor("DDDDFF"), ParseColor("FF0000"), ParseColor("DDDDFF")},
        {"writable turns the background white", true, false, ~0u, ParseColor("000000"), 0xFFFFFF},
        {"disabled, black on grey", false, true, 0xBBBBBB, 0x000000, 0xBBBBBB},
    };
    View v;
    for (int i = 0; i < 40; ++i)
        v.Echo("line " + std::to_string(i) + "\r\n");
    v.Echo("last");
    const int lastStart = int(v.text.Length()) - 4;
    for (const Case &c : cases) {
        v.view.setEnabled(c.enabled);
        v.view.SetBackgroundColor(0x123456);
        v.view.SetReadOnly(c.readOnly);
        if (c.background != ~0u)
            v.view.SetBackgroundColor(c.background);
        v.view.SetTextColor(c.textColor);
        const QImage shot = v.view.viewport()->grab().toImage();
        const QRect last = v.Cell(lastStart).united(v.Cell(lastStart + 3));
        EXPECT_TRUE(v.view.viewport()->rect().contains(last)) << c.name << ": the last row is in view";
        EXPECT_TRUE(HasColor(shot, last, c.textColor)) << c.name << ": the last row is painted";
        EXPECT_EQ(shot.pixelColor(shot.width() - 2, last.center().y()), CControlColors::ToQColor(c.wantBackground))
            << c.name;
        EXPECT_FALSE(HasColor(shot, QRect(0, last.bottom() + 1, shot.width(), shot.height()), c.textColor))
            << c.name << ": nothing below the last row";
    }
    v.view.SetBackgroundColor(0xFFFFFF);
    v.view.SetReadOnly(true);
    EXPECT_EQ(v.view.BackgroundColor(), 0xFFFFFFu) << "read-only keeps the stored background";

    // A short text: a line of one blank row and an X wraps the X to the second
    // row, and nothing shows below it.
    v.text.Clear();
    v.Echo(std::string(1000, ' '));
    const int columns = v.Columns();
    v.text.Clear();
    v.Echo(std::string(size_t(columns), ' ') + "X");
    const QImage shot = v.view.viewport()->grab().toImage();
    const QRect x = v.Cell(columns);
    EXPECT_EQ(x.top(), v.Cell(0).bottom() + 1);
    EXPECT_FALSE(HasColor(shot, QRect(0, 0, shot.width(), x.top()), 0x000000)) << "a blank first row";
    EXPECT_TRUE(HasColor(shot, x, 0x000000)) << "the X on the second row";
    EXPECT_FALSE(HasColor(shot, QRect(0, x.bottom() + 1, shot.width(), shot.height()), 0x000000));

    // The caret shows at the end while the view has the focus.
    v.view.setEnabled(true);
    QApplication::setActiveWindow(&v.view);
    v.view.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.view.hasFocus(); }, 2000));
    const QRect caret = v.Cell(int(v.text.Length()));
    EXPECT_TRUE(HasColor(v.view.viewport()->grab().toImage(), caret, 0x000000));
    v.view.clearFocus();
    EXPECT_FALSE(HasColor(v.view.viewport()->grab().toImage(), caret, 0x000000));
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

    // One line longer than the limit (a hex step) wraps, and any row of it can be reached.
    std::vector<uint8_t> bytes(1500000, 0xA5);
    v.text.AppendHex(bytes.data(), bytes.size());
    v.view.Follow(v.text);
    const int columns = v.Columns();
    const int rows = (int(v.text.Length()) - 2 + columns - 1) / columns + 1;
    EXPECT_EQ(bar->maximum() + bar->pageStep(), rows);
    bar->setValue(12345);
    EXPECT_EQ(v.OffsetAt(topLeft), 12345 * columns);
}

TEST(TerminalViewWidget, LeavesTheMenuToItsWindowAndTellsItsState)
{
    struct Window : QWidget {
        int menus = 0;
        void contextMenuEvent(QContextMenuEvent *e) override { ++menus, e->accept(); }
    } window;
    auto *view = new CTerminalView(&window);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(view->viewport(), &menu);
    EXPECT_EQ(window.menus, 1);

    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(view);
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    view->SetReadOnly(true);
    EXPECT_TRUE(a->state().readOnly);
    view->SetReadOnly(false);
    EXPECT_FALSE(a->state().readOnly);
}
