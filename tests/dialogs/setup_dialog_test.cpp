// The Setup dialog and its "Set Screen Colors", offscreen: the colour preview
// that follows every keystroke, painted, and what the end-to-end test cannot
// set up (a stored colour of seven characters) or reach without pressing
// Enter on a button the mouse would press. The end-to-end test works Setup
// from the main window.
#include "dialogs/CColorEdit.h"
#include "dialogs/CPortProber.h"
#include "dialogs/CPortSetup.h"
#include "dialogs/CSetColor.h"
#include "support/MessageRecorder.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace {

template <typename T> T *Find(QWidget &dialog, const char *name)
{
    if (T *widget = dialog.findChild<T *>(QString::fromLatin1(name)))
        return widget;
    throw std::runtime_error(std::string("no control ") + name);
}

TEST(SetupDialog, ColoursFollowEveryKeystrokeAndComeBackUpperCasedOnlyThroughOk)
{
    CPortProber noHardware(CPortProber::Options{false, {}});
    MessageRecorder messages;
    CPortSetup dialog(SetupValuesOf(Settings{}), noHardware, messages, nullptr, PortScheme::Numbered); // 000000 on DDDDFF
    for (const bool ok : {false, true}) {
        QTimer::singleShot(0, [ok] {
            auto *colors = qobject_cast<CSetColor *>(QApplication::activeModalWidget());
            ASSERT_NE(colors, nullptr);
            auto *preview = Find<CColorEdit>(*colors, "Preview");
            EXPECT_TRUE(preview->toPlainText() == "Sample Text" && preview->isReadOnly());
            // Keystroke by keystroke through the terminal's colour rule (0x00BBGGRR),
            // and so painted: the corner in the background, glyph cores in the text colour.
            const std::tuple<const char *, const char *, uint32_t, uint32_t> steps[] = {
                {"Text", "ff", 0xFFDDDD, 0xFF0000}, {"Text", "0g", 0xFFDDDD, 0}, // a partial colour, none
                {"Background", "dd", 0xDD0000, 0}, {"Text", "ff000012", 0xDD0000, 0x0000FF}}; // six at most
            for (const auto &[box, typed, background, text] : steps) {
                Find<QLineEdit>(*colors, box)->clear();
                QTest::keyClicks(Find<QLineEdit>(*colors, box), typed);
                EXPECT_TRUE(preview->BackgroundColor() == background && preview->TextColor() == text) << box << typed;
                const QImage shot = preview->viewport()->grab().toImage();
                bool textShown = false;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x)
                        textShown = textShown || shot.pixelColor(x, y) == CColorEdit::ToQColor(text);
                EXPECT_TRUE(shot.pixelColor(1, 1) == CColorEdit::ToQColor(background) && textShown) << box << typed;
            }
            ok ? colors->accept() : colors->reject();
        });
        Find<QPushButton>(dialog, "Screen Colors")->click();
        EXPECT_EQ(dialog.Values().textColor, ok ? "FF0000" : "000000") << (ok ? "OK" : "Cancel");
        EXPECT_EQ(dialog.Values().backgroundColor, ok ? "DD" : "DDDDFF") << (ok ? "OK" : "Cancel");
    }
}

// Enter on the focused "Screen Colors" opens the colours, not OK of Setup;
// a stored colour text of more than six characters shows whole and is
// refused at OK, never cut behind the user's back.
TEST(SetupDialog, EnterOpensScreenColorsAndATooLongColourIsRefusedAtOk)
{
    Settings stored;
    stored.screenTextColor = "1234567";
    CPortProber noHardware(CPortProber::Options{false, {}});
    MessageRecorder messages;
    CPortSetup dialog(SetupValuesOf(stored), noHardware, messages, nullptr, PortScheme::Numbered);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto *colors = qobject_cast<CSetColor *>(QApplication::activeModalWidget());
        opened = colors != nullptr;
        ASSERT_TRUE(opened) << "Enter did not open Set Screen Colors";
        auto *text = Find<QLineEdit>(*colors, "Text");
        EXPECT_EQ(text->text(), "1234567");
        colors->accept();
        EXPECT_TRUE(colors->isVisible()) << "a seven-character colour was taken";
        EXPECT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages.empty() ? "" : messages.messages.back().text, "Please enter no more than 6 characters.");
        QTest::keyClick(text, Qt::Key_End);
        QTest::keyClick(text, Qt::Key_Backspace);
        QTest::keyClick(text, Qt::Key_A);
        EXPECT_EQ(text->text(), "123456") << "typing stops at six characters";
        colors->accept();
    });
    auto *colorsButton = Find<QPushButton>(dialog, "Screen Colors");
    colorsButton->setFocus();
    QTest::keyClick(colorsButton, Qt::Key_Return);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(dialog.isVisible()) << "Enter accepted Setup";
    EXPECT_EQ(dialog.Values().textColor, "123456");
}

} // namespace
