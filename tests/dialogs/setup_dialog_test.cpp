// The Setup dialog and its "Set Screen Colors", offscreen: the colour preview
// that follows every keystroke, and what the end-to-end test cannot
// set up (a stored colour of seven characters) or reach without pressing
// Enter on a button the mouse would press. The end-to-end test works Setup
// from the main window, OK of Screen Colors included.
#include "dialogs/CColorEdit.h"
#include "dialogs/CPortProber.h"
#include "dialogs/CPortSetup.h"
#include "dialogs/CSetColor.h"
#include "support/MessageRecorder.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

// Setup on the stored settings, with no port to probe; shows it and presses
// Enter on "Screen Colors", and hands the colour dialog to `colors` once it
// is up. Gives whether it came up.
bool WorkColors(const Settings &stored, MessageRecorder &messages, PortSetupValues &result,
                const std::function<void(CSetColor &)> &colors)
{
    CPortProber noHardware(CPortProber::Options{false, {}});
    CPortSetup dialog(SetupValuesOf(stored), noHardware, messages, nullptr, PortScheme::Numbered);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto *dialogUp = qobject_cast<CSetColor *>(QApplication::activeModalWidget());
        if ((opened = dialogUp != nullptr))
            colors(*dialogUp);
    });
    auto *button = dialog.findChild<QPushButton *>("Screen Colors");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter accepted Setup";
    result = dialog.Values();
    return opened;
}

// Keystroke by keystroke through the terminal's colour rule (0x00BBGGRR);
// Cancel hands back the colours stored.
TEST(SetupDialog, ThePreviewFollowsEveryKeystrokeAndCancelKeepsTheStoredColours)
{
    MessageRecorder messages;
    PortSetupValues values;
    EXPECT_TRUE(WorkColors(Settings{}, messages, values, [](CSetColor &colors) { // 000000 on DDDDFF
        auto *preview = colors.findChild<CColorEdit *>("Preview");
        EXPECT_TRUE(preview->toPlainText() == "Sample Text" && preview->isReadOnly());
        const std::tuple<const char *, const char *, uint32_t, uint32_t> steps[] = {
            {"Text", "ff", 0xFFDDDD, 0xFF0000}, {"Text", "0g", 0xFFDDDD, 0}, // a partial colour, none
            {"Background", "dd", 0xDD0000, 0}, {"Text", "ff000012", 0xDD0000, 0x0000FF}}; // six at most
        for (const auto &[box, typed, background, text] : steps) {
            colors.findChild<QLineEdit *>(box)->clear();
            QTest::keyClicks(colors.findChild<QLineEdit *>(box), typed);
            EXPECT_TRUE(preview->BackgroundColor() == background && preview->TextColor() == text) << box << typed;
        }
        colors.reject();
    }));
    EXPECT_TRUE(values.textColor == "000000" && values.backgroundColor == "DDDDFF");
}

// Enter on the focused "Screen Colors" opens the colours, not OK of Setup;
// a stored colour text of more than six characters shows whole and is
// refused at OK, never cut behind the user's back.
TEST(SetupDialog, EnterOpensScreenColorsAndATooLongColourIsRefusedAtOk)
{
    Settings stored;
    stored.screenTextColor = "1234567";
    MessageRecorder messages;
    PortSetupValues values;
    EXPECT_TRUE(WorkColors(stored, messages, values, [&](CSetColor &colors) {
        auto *text = colors.findChild<QLineEdit *>("Text");
        EXPECT_EQ(text->text(), "1234567");
        colors.accept();
        EXPECT_TRUE(colors.isVisible()) << "a seven-character colour was taken";
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "Please enter no more than 6 characters.");
        QTest::keyClick(text, Qt::Key_End);
        QTest::keyClick(text, Qt::Key_Backspace);
        QTest::keyClick(text, Qt::Key_A);
        EXPECT_EQ(text->text(), "123456") << "typing stops at six characters";
        colors.accept();
    })) << "Enter did not open Set Screen Colors";
    EXPECT_EQ(values.textColor, "123456");
}

} // namespace
