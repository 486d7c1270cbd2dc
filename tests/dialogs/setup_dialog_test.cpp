// The Setup dialog, offscreen: what it selects on opening and what it hands
// back after the user has worked the controls.
#include "dialogs/CPortSetup.h"
#include "setup_fake_prober.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include "dialogs/CColorEdit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

PortSetupValues StoredValues()
{
    Settings settings;
    settings.commPort = 5;
    settings.baudrate = 300;
    settings.smallPackets = 0;
    return SetupValuesOf(settings);
}

template <typename T> T *Find(QWidget &dialog, const char *name)
{
    T *widget = dialog.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Types into "Set Screen Colors" once it runs, then ends it.
void WhenColorDialogOpens(const char *text, const char *background, bool ok)
{
    QTimer::singleShot(0, [=] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(Find<CColorEdit>(*dialog, "Preview")->toPlainText(), "Sample Text");
        for (auto [name, typed] : {std::pair{"Text", text}, std::pair{"Background", background}}) {
            Find<QLineEdit>(*dialog, name)->clear();
            QTest::keyClicks(Find<QLineEdit>(*dialog, name), typed);
        }
        ok ? dialog->accept() : dialog->reject();
    });
}

int RunAndPress(CPortSetup &dialog, void (QDialog::*button)())
{
    QTimer::singleShot(0, &dialog, button);
    return dialog.exec();
}

TEST(SetupDialog, StoredPortAndBaudOutsideTheListsStaySelectedNowhere)
{
    FakeProber noHardware;
    CPortSetup dialog(StoredValues(), noHardware, nullptr, PortScheme::Numbered);
    auto *ports = Find<QComboBox>(dialog, "Port");
    auto *bauds = Find<QComboBox>(dialog, "Baudrate");
    EXPECT_EQ(ports->count(), 67);
    EXPECT_EQ(bauds->count(), 15);
    EXPECT_EQ(ports->currentIndex(), -1);
    EXPECT_EQ(bauds->currentIndex(), -1);

    // Typed characters choose nothing (no jump to 38400 on "3").
    QTest::keyClicks(bauds, "300");
    QTest::keyClicks(ports, "COM3");
    EXPECT_EQ(bauds->currentIndex(), -1);
    EXPECT_EQ(ports->currentIndex(), -1);

    ASSERT_EQ(RunAndPress(dialog, &QDialog::accept), QDialog::Accepted);
    EXPECT_EQ(dialog.Values().commPort, 5);
    EXPECT_EQ(dialog.Values().baudrate, 300);
}

TEST(SetupDialog, OpensOnTheStoredEntriesAndTakesChoicesFromTheLists)
{
    FakeProber prober;
    prober.devices = {"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2"};
    for (const auto &device : prober.devices)
        prober.outcomes[device] = PortProbe::Serial;
    PortSetupValues stored = StoredValues();
    stored.portName = "/dev/ttyS10";
    stored.baudrate = 115200;
    CPortSetup dialog(stored, prober, nullptr, PortScheme::DevicePaths);
    auto *ports = Find<QComboBox>(dialog, "Port");
    auto *bauds = Find<QComboBox>(dialog, "Baudrate");
    EXPECT_EQ(ports->currentText(), "ttyS10");
    EXPECT_EQ(bauds->currentText(), "115200");

    QTest::keyClick(ports, Qt::Key_Down);
    QTest::keyClick(bauds, Qt::Key_Up);
    EXPECT_EQ(dialog.Values().portName, "/dev/ttyUSB0");
    EXPECT_EQ(dialog.Values().baudrate, 57600);
}

TEST(SetupDialog, CheckBoxesStoreTheirFinalState)
{
    FakeProber noHardware;
    CPortSetup dialog(StoredValues(), noHardware, nullptr, PortScheme::Numbered);
    struct Case {
        const char *box;
        int clicks;
        uint32_t PortSetupValues::*value;
        uint32_t expected; // all start ticked but small packets
    } cases[] = {{"RTS/CTS Flow Enabled", 2, &PortSetupValues::flowEnabled, 1},
                 {"Append LF after CR", 1, &PortSetupValues::appendLF, 0},
                 {"Use Small Packets", 3, &PortSetupValues::smallPackets, 1}};
    for (const Case &c : cases) {
        for (int i = 0; i < c.clicks; ++i)
            QTest::mouseClick(Find<QCheckBox>(dialog, c.box), Qt::LeftButton);
    }
    ASSERT_EQ(RunAndPress(dialog, &QDialog::accept), QDialog::Accepted);
    for (const Case &c : cases)
        EXPECT_EQ(dialog.Values().*c.value, c.expected) << c.box;
}

TEST(SetupDialog, ColoursComeBackUpperCasedAndOnlyThroughBothOks)
{
    FakeProber noHardware;
    Settings settings;
    CPortSetup dialog(SetupValuesOf(settings), noHardware, nullptr, PortScheme::Numbered);
    auto *colors = Find<QPushButton>(dialog, "Screen Colors");

    WhenColorDialogOpens("ff0000", "ddddfe", false);
    colors->click();
    EXPECT_EQ(dialog.Values().textColor, "000000") << "Cancel in the colour dialog";

    WhenColorDialogOpens("ff0000", "ddddfe", true);
    colors->click();
    EXPECT_EQ(dialog.Values().textColor, "FF0000");
    EXPECT_EQ(dialog.Values().backgroundColor, "DDDDFE");

    // Cancel in Setup: the main window copies nothing back.
    if (RunAndPress(dialog, &QDialog::reject) == QDialog::Accepted)
        ApplySetupValues(dialog.Values(), settings);
    EXPECT_EQ(settings.screenTextColor, "000000");
    EXPECT_EQ(settings.screenBackgroundColor, "DDDDFF");
}

TEST(SetupDialog, EveryControlHasAnAccessibleName)
{
    FakeProber noHardware;
    CPortSetup dialog(StoredValues(), noHardware, nullptr, PortScheme::Numbered);
    for (QWidget *child : dialog.findChildren<QWidget *>()) {
        if (child->focusPolicy() != Qt::NoFocus) {
            EXPECT_FALSE(child->accessibleName().isEmpty()) << child->metaObject()->className();
        }
    }
}

} // namespace
