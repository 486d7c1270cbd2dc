// The Setup dialog's "Set Screen Colors", offscreen: the colour preview that
// follows every keystroke, and what the end-to-end test cannot set up (a
// stored colour of seven characters) or reach without pressing Enter on a
// button the mouse would press. The end-to-end test works Setup from the main
// window, OK of Screen Colors included.
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

#include <tuple>

// Enter on the focused "Screen Colors" opens the colours, not OK of Setup. A
// stored colour text of more than six characters shows whole and is refused
// at OK, never cut behind the user's back; typing stops at six. The preview
// follows every keystroke through the terminal's colour rule (0x00BBGGRR),
// and Cancel hands back the colours stored.
TEST(SetupDialog, EnterOpensScreenColorsWhereATooLongColourIsRefusedAndThePreviewFollowsTheKeys)
{
    Settings stored;
    stored.screenTextColor = "1234567";
    MessageRecorder messages;
    CPortProber noHardware(CPortProber::Options{false, {}});
    CPortSetup dialog(SetupValuesOf(stored), noHardware, messages, nullptr, PortScheme::Numbered);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    bool opened = false;
    QTimer::singleShot(0, [&] { // runs once the colours are up
        auto *colors = qobject_cast<CSetColor *>(QApplication::activeModalWidget());
        if (!(opened = colors != nullptr))
            return;
        auto *text = colors->findChild<QLineEdit *>("Text");
        EXPECT_EQ(text->text(), "1234567");
        colors->accept();
        EXPECT_TRUE(colors->isVisible()) << "a seven-character colour was taken";
        EXPECT_TRUE(messages.messages.size() == 1 && messages.messages[0].text == "Please enter no more than 6 characters.");
        QTest::keyClick(text, Qt::Key_End);
        QTest::keyClick(text, Qt::Key_Backspace);
        QTest::keyClick(text, Qt::Key_A);
        EXPECT_EQ(text->text(), "123456") << "typing stops at six characters";

        auto *preview = colors->findChild<CColorEdit *>("Preview");
        EXPECT_TRUE(preview->toPlainText() == "Sample Text" && preview->isReadOnly());
        const std::tuple<const char *, const char *, uint32_t, uint32_t> steps[] = {
            {"Text", "ff", 0xFFDDDD, 0xFF0000}, {"Text", "0g", 0xFFDDDD, 0}, // a partial colour, none
            {"Background", "dd", 0xDD0000, 0}};
        for (const auto &[box, typed, background, textColor] : steps) {
            colors->findChild<QLineEdit *>(box)->clear();
            QTest::keyClicks(colors->findChild<QLineEdit *>(box), typed);
            EXPECT_TRUE(preview->BackgroundColor() == background && preview->TextColor() == textColor) << box << typed;
        }
        colors->reject();
    });
    auto *button = dialog.findChild<QPushButton *>("Screen Colors");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_TRUE(opened) << "Enter did not open Set Screen Colors";
    EXPECT_TRUE(dialog.isVisible()) << "Enter accepted Setup";
    const PortSetupValues values = dialog.Values();
    EXPECT_TRUE(values.textColor == "1234567" && values.backgroundColor == "DDDDFF") << "Cancel kept an edit";
}
