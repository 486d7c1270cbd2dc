// The "Send Command" dialog on screen: what OK and Cancel hand back, Enter,
// the enabling of the block boxes and the refusal of bad entries.
#include "app/UserMessages.h"
#include "dialogs/CSendCmd.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

struct RecordedMessages : UserMessages {
    std::vector<std::string> texts;
    void Show(const std::string &text, const std::string &, MessageIcon) override { texts.push_back(text); }
};

template <class T = QLineEdit> T *Control(QWidget &dialog, const QString &accessibleName)
{
    for (T *w : dialog.findChildren<T *>())
        if (w->accessibleName() == accessibleName)
            return w;
    throw std::runtime_error("no control " + accessibleName.toStdString());
}

void Press(QWidget &dialog, const QString &text)
{
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        if (b->text() == text)
            return b->click();
    throw std::runtime_error("no button " + text.toStdString());
}

void Retype(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

// Every field the dialog could touch, so a mismatch names it.
std::string Dump(const Settings &s)
{
    std::ostringstream out;
    for (size_t i = 0; i < 10; ++i)
        out << i + 1 << ": '" << s.cmdName[i] << "' '" << s.sendCmd[i] << "' hex " << s.sendHex[i]
            << " crlf " << s.sendCrLf[i] << "\n";
    out << "continuous " << s.sendContinuous << " block " << s.sendBlockSize << " pause " << s.sendMsPause;
    return out.str();
}

Settings Stored()
{
    Settings s;
    s.cmdName[9] = "kept";
    s.sendCrLf[9] = 1;
    s.sendHex[9] = 1;
    s.sendContinuous = 0;
    return s;
}

} // namespace

TEST(SendCmdDialog, OkHandsBackExactlyTheEditsAndCancelChecksNothing)
{
    RecordedMessages messages;
    CSendCmd dialog(Stored(), messages);
    dialog.show();
    Retype(Control(dialog, "command 3 name"), "Info");
    Retype(Control(dialog, "command 3 text"), "at+ab info \"x\\y\"");
    Retype(Control(dialog, "command 1 text"), "");
    Control<QCheckBox>(dialog, "command 9 send CR LF")->click();
    Control<QCheckBox>(dialog, "command 4 hex")->click();
    Retype(Control(dialog, "line count"), "25a0"); // the box takes digits only
    Retype(Control(dialog, "bytes per block"), "65536");
    Retype(Control(dialog, "pause per block"), "0");
    Press(dialog, "OK");

    Settings expected = Stored();
    expected.cmdName[2] = "Info";
    expected.sendCmd[2] = "at+ab info \"x\\y\"";
    expected.sendCmd[0] = "";
    expected.sendCrLf[8] = 0;
    expected.sendHex[3] = 1;
    expected.sendCmd[9] = "250";
    expected.sendBlockSize = 65536;
    expected.sendMsPause = 0;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Dump(dialog.Result()), Dump(expected));

    CSendCmd cancelled(Stored(), messages);
    cancelled.show();
    Retype(Control(cancelled, "line count"), "99999");
    Retype(Control(cancelled, "bytes per block"), "0");
    Press(cancelled, "Cancel");
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.isVisible());
    EXPECT_TRUE(messages.texts.empty());
}

TEST(SendCmdDialog, EnterNeitherClosesNorEdits)
{
    RecordedMessages messages;
    CSendCmd dialog(Settings{}, messages);
    dialog.show();
    QLineEdit *name = Control(dialog, "command 1 name");
    for (QWidget *target : std::vector<QWidget *>{name, Control(dialog, "line count"),
                                                  dialog.findChild<QPushButton *>(), &dialog})
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            ASSERT_TRUE(dialog.isVisible()) << target->metaObject()->className();
        }
    EXPECT_EQ(name->text(), "Send Data");
    EXPECT_TRUE(messages.texts.empty());
}

TEST(SendCmdDialog, ContinuousSwitchesTheBlockBoxesAtOnce)
{
    RecordedMessages messages;
    CSendCmd dialog(Settings{}, messages); // continuous by default
    dialog.show();
    std::vector<QWidget *> blockControls = {Control(dialog, "bytes per block"),
                                            Control(dialog, "pause per block")};
    for (QLabel *label : dialog.findChildren<QLabel *>())
        if (label->text() == "Bytes per block" || label->text() == "MS pause per block")
            blockControls.push_back(label);
    ASSERT_EQ(blockControls.size(), 4u);
    for (const bool enabled : {false, true, false}) {
        for (QWidget *w : blockControls)
            EXPECT_EQ(w->isEnabled(), enabled) << w->metaObject()->className();
        Control<QCheckBox>(dialog, "continuous")->click();
    }
}

TEST(SendCmdDialog, BadEntryShowsOneMessageAndKeepsFocusOnTheBox)
{
    const struct { const char *box, *entry, *message; } cases[] = {
        {"line count", "20001", "lines should not more than 20000!"},
        {"bytes per block", "0", "Please enter an integer between 1 and 65536."},
        {"pause per block", "", "Please enter an unsigned integer."},
    };
    for (const auto &c : cases) {
        RecordedMessages messages;
        CSendCmd dialog(Stored(), messages);
        dialog.show();
        Retype(Control(dialog, c.box), c.entry);
        Press(dialog, "OK");
        EXPECT_TRUE(dialog.isVisible()) << c.box;
        EXPECT_EQ(messages.texts, std::vector<std::string>{c.message}) << c.box;
        EXPECT_EQ(dialog.focusWidget(), Control(dialog, c.box)) << c.box;
    }
}
