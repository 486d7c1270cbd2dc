#pragma once
// A main window driven as a user drives it against a device on a path (the
// virtual module, or a pty of the test), on profile A with the settings the
// test gives: it connects at start, clicks
// buttons, types lines, reads the loader's fields and watches the network
// view while it runs. The main window tests, the module tests and the fault
// soak share it.

#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "transfer/CLoadImage.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

// Writes the image to folder/fw.bin; gives settings that choose it for a download.
inline Settings ChoosingImage(const QString &folder, const QByteArray &image)
{
    QFile f(QDir(folder).filePath("fw.bin"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(image) == image.size()) << "fw.bin not written";
    Settings s;
    s.downloadPath = folder.toStdString() + "/";
    s.downloadFilename = "fw.bin";
    return s;
}

struct ModuleWindow {
    MessageRecorder messages;
    std::unique_ptr<CVerrinDlg> dlg;
    int patienceMs;

    explicit ModuleWindow(const QString &port, const Settings &profile = {}, int patience = 5000) : patienceMs(patience)
    {
        CRegistry registry;
        SaveSettings(registry, "A", profile);
        CVerrinDlg::StartOptions options;
        options.portPath = port;
        options.connect = true;
        dlg = std::make_unique<CVerrinDlg>(options, &messages);
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        WaitFor([&] { return dlg->IsConnected(); }, patienceMs);
    }
    QAbstractButton *Button(int id) const { return static_cast<QAbstractButton *>(dlg->Control(id)); }
    QWidget *View() const { return dlg->Control(MainId::Terminal); }
    std::string Text() const { return std::string(dlg->Terminal().Text()); }
    long RxCount() const { return static_cast<QLineEdit *>(dlg->Control(MainId::RxCount))->text().toLong(); }
    size_t MessageCount() const { return messages.messages.size(); }
    std::string LastMessage() const { return messages.messages.empty() ? "" : messages.messages.back().text; }

    bool Connect()
    {
        Button(MainId::Connect)->click();
        return WaitFor([&] { return dlg->IsConnected(); }, patienceMs);
    }
    // "Clear" (which hands the focus to the terminal), then a command typed
    // at the keyboard, whose reply must show.
    ::testing::AssertionResult Answers()
    {
        Button(MainId::Clear)->click();
        QApplication::setActiveWindow(dlg.get());
        if (!WaitFor([&] { return QApplication::focusWidget() == View(); }, patienceMs))
            return ::testing::AssertionFailure() << "the terminal did not get the focus";
        QTest::keyClicks(View(), QStringLiteral("at+ab info\r"));
        if (!WaitFor([&] { return Text().find("Publish Addr C001") != std::string::npos; }, patienceMs))
            return ::testing::AssertionFailure() << "no reply to a typed command; terminal: " << Text();
        return ::testing::AssertionSuccess();
    }
    // The device went: the window notices, tells the user exactly once and
    // greys the terminal out.
    ::testing::AssertionResult LossToldOnce(size_t messagesBefore)
    {
        const bool noticed = WaitFor([&] { return !dlg->IsConnected(); }, patienceMs);
        QTest::qWait(300); // room for a second report, if there were one
        if (noticed && MessageCount() == messagesBefore + 1 && !View()->isEnabled() &&
            Button(MainId::Connect)->isEnabled())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "noticed " << noticed << ", terminal on " << View()->isEnabled()
                                             << ", " << MessageCount() - messagesBefore << " messages: " << LastMessage();
    }

    CLoadImage *Loader() const { return dlg->findChild<CLoadImage *>(); }
    // A field of the loader by its accessible name: "Status", "Packet", ...
    QLineEdit *LoaderField(const char *name) const
    {
        for (auto *e : Loader()->findChildren<QLineEdit *>())
            if (e->accessibleName() == QLatin1String(name))
                return e;
        return nullptr;
    }
    // Clicks "Load" and waits for the transfer's end; returns the loader's
    // status line then.
    QString Load(int timeoutMs = 60000)
    {
        QLineEdit *status = LoaderField("Status");
        status->clear(); // an earlier download's result is not this one's
        Button(MainId::Load)->click();
        WaitFor([&] { return !status->text().isEmpty() && status->text() != "Loading Image"; }, timeoutMs);
        return status->text();
    }

    // Clicks "Net View" and hands the modal dialog on top (or null) to watch
    // every 20 ms until the view and its closing wait are gone. After
    // timeoutMs the dialogs are closed instead, so that a fault never hangs
    // the suite.
    void RunNetView(const std::function<void(QWidget *)> &watch, int timeoutMs = 60000)
    {
        QElapsedTimer since;
        since.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (since.elapsed() < timeoutMs)
                watch(modal);
            else if (modal)
                modal->close();
        });
        probe.start(20);
        Button(MainId::NetView)->click();
    }
};
