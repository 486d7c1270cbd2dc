// The Setup dialog, offscreen: what it selects on opening and what it hands
// back after the user has worked the controls.
#include "dialogs/CPortSetup.h"
#include "dialogs/CSetColor.h"
#include "setup_fake_prober.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

PortSetupValues StoredValues()
{
    PortSetupValues values;
    values.commPort = 5;
    values.baudrate = 300;
    values.appendLF = 1;
    values.flowEnabled = 1;
    values.smallPackets = 0;
    values.textColor = "000000";
    values.backgroundColor = "DDDDFF";
    return values;
}

template <typename T> T *Find(QWidget &dialog, const char *name)
{
    T *widget = dialog.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Works the modal dialog that opens next, once its loop runs.
void WhenModalOpens(std::function<void(QDialog &)> action)
{
    QTimer::singleShot(0, [action] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        action(*dialog);
    });
}

void SetColorTexts(QDialog &colorDialog, const char *text, const char *background)
{
    auto *textBox = Find<QLineEdit>(colorDialog, "Text");
    auto *backgroundBox = Find<QLineEdit>(colorDialog, "Background");
    textBox->clear();
    QTest::keyClicks(textBox, text);
    backgroundBox->clear();
    QTest::keyClicks(backgroundBox, background);
}

TEST(SetupDialog, StoredPortAndBaudOutsideTheListsStaySelectedNowhere)
{
    FakeProber noHardware;
    CPortSetup dialog(StoredValues(), noHardware, nullptr, PortScheme::Numbered);
    auto *ports = Find<QComboBox>(dialog, "Port");
    auto *bauds = Find<QComboBox>(dialog, "Baudrate");

    EXPECT_EQ(ports->count(), 67);
    EXPECT_EQ(ports->currentIndex(), -1);
    EXPECT_EQ(bauds->count(), 15);
    EXPECT_EQ(bauds->itemText(9), "115200");
    EXPECT_EQ(bauds->currentIndex(), -1);

    // Typed characters choose nothing; only a choice from the list does.
    QTest::keyClicks(bauds, "300");
    QTest::keyClicks(ports, "COM3");
    EXPECT_EQ(bauds->currentIndex(), -1);
    EXPECT_EQ(ports->currentIndex(), -1);

    QTimer::singleShot(0, &dialog, &QDialog::accept);
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
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
    EXPECT_EQ(ports->itemText(0), "ttyS2");
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
    auto *flow = Find<QCheckBox>(dialog, "RTS/CTS Flow Enabled");
    auto *appendLF = Find<QCheckBox>(dialog, "Append LF after CR");
    auto *smallPackets = Find<QCheckBox>(dialog, "Use Small Packets");
    EXPECT_TRUE(flow->isChecked());
    EXPECT_TRUE(appendLF->isChecked());
    EXPECT_FALSE(smallPackets->isChecked());

    QTest::mouseClick(flow, Qt::LeftButton);
    QTest::mouseClick(flow, Qt::LeftButton);
    QTest::mouseClick(appendLF, Qt::LeftButton);
    QTest::mouseClick(smallPackets, Qt::LeftButton);
    QTest::mouseClick(smallPackets, Qt::LeftButton);
    QTest::mouseClick(smallPackets, Qt::LeftButton);

    QTimer::singleShot(0, &dialog, &QDialog::accept);
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.Values().flowEnabled, 1u);
    EXPECT_EQ(dialog.Values().appendLF, 0u);
    EXPECT_EQ(dialog.Values().smallPackets, 1u);
}

TEST(SetupDialog, ColoursComeBackUpperCasedOnlyThroughOk)
{
    FakeProber noHardware;
    CPortSetup dialog(StoredValues(), noHardware, nullptr, PortScheme::Numbered);
    auto *colors = Find<QPushButton>(dialog, "Screen Colors");

    WhenModalOpens([](QDialog &colorDialog) {
        SetColorTexts(colorDialog, "ff0000", "ddddfe");
        colorDialog.reject();
    });
    colors->click();
    EXPECT_EQ(dialog.Values().textColor, "000000") << "Cancel in the colour dialog";
    EXPECT_EQ(dialog.Values().backgroundColor, "DDDDFF");

    WhenModalOpens([](QDialog &colorDialog) {
        auto *preview = Find<QLineEdit>(colorDialog, "Preview");
        EXPECT_EQ(preview->text(), "Sample Text");
        EXPECT_EQ(Find<QLineEdit>(colorDialog, "Text")->text(), "000000");
        SetColorTexts(colorDialog, "ff0000", "ddddfe");
        colorDialog.accept();
    });
    colors->click();
    EXPECT_EQ(dialog.Values().textColor, "FF0000");
    EXPECT_EQ(dialog.Values().backgroundColor, "DDDDFE");
}

TEST(SetupDialog, CancelAfterColourOkHandsNothingBack)
{
    FakeProber noHardware;
    Settings settings;
    CPortSetup dialog(SetupValuesOf(settings), noHardware, nullptr, PortScheme::Numbered);

    QTimer::singleShot(0, [&dialog] {
        WhenModalOpens([&dialog](QDialog &colorDialog) {
            SetColorTexts(colorDialog, "ffffff", "000000");
            colorDialog.accept();
            QTimer::singleShot(0, &dialog, &QDialog::reject);
        });
        Find<QPushButton>(dialog, "Screen Colors")->click();
    });
    // What the main window does with the result.
    if (dialog.exec() == QDialog::Accepted)
        ApplySetupValues(dialog.Values(), settings);

    EXPECT_EQ(dialog.Values().textColor, "FFFFFF") << "the colour dialog did hand back";
    EXPECT_EQ(settings.screenTextColor, "000000");
    EXPECT_EQ(settings.screenBackgroundColor, "DDDDFF");
}

TEST(SetupDialog, EveryControlHasAnAccessibleName)
{
    FakeProber noHardware;
    CPortSetup dialog(StoredValues(), noHardware, nullptr, PortScheme::Numbered);
    for (QWidget *child : dialog.findChildren<QWidget *>()) {
        if (child->focusPolicy() != Qt::NoFocus && child->isWidgetType() &&
            !qobject_cast<QComboBox *>(child->parentWidget())) {
            EXPECT_FALSE(child->accessibleName().isEmpty())
                << child->metaObject()->className() << " " << child->objectName().toStdString();
        }
    }
}

} // namespace
