#pragma once
// A main window driven as a user drives it against a device on a path (the
// virtual module, or a pty of the test): it connects at start, clicks
// buttons, types lines, reads the loader's status and watches the network
// view while it runs. The main window tests, the end-to-end test and the
// fault soak share it.

#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "transfer/CLoadImage.h"
#include "support/MessageRecorder.h"
#include "support/WaitFor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <zlib.h>

inline QByteArray ReadWholeFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the image to folder/fw.bin and makes it profile A's download choice.
inline bool ChooseImage(const QString &folder, const QByteArray &image)
{
    QFile f(QDir(folder).filePath("fw.bin"));
    if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size())
        return false;
    CRegistry registry;
    Settings s;
    s.downloadPath = folder.toStdString() + "/";
    s.downloadFilename = "fw.bin";
    SaveSettings(registry, "A", s);
    return true;
}

// The line the module prints once it has booted a received image.
inline std::string BootBanner(const QByteArray &image)
{
    char banner[64];
    std::snprintf(banner, sizeof banner, "image %d bytes, CRC32 %08lX", int(image.size()),
                  crc32(0, reinterpret_cast<const Bytef *>(image.constData()), uInt(image.size())));
    return banner;
}

struct ModuleWindow {
    MessageRecorder messages;
    std::unique_ptr<CVerrinDlg> dlg;
    int patienceMs;

    explicit ModuleWindow(const QString &port, int patience = 5000) : patienceMs(patience)
    {
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
    bool Shows(const std::string &text) const
    {
        return WaitFor([&] { return Text().find(text) != std::string::npos; }, patienceMs);
    }
    long RxCount() const { return static_cast<QLineEdit *>(dlg->Control(MainId::RxCount))->text().toLong(); }
    size_t MessageCount() const { return messages.messages.size(); }
    std::string LastMessage() const { return messages.messages.empty() ? "" : messages.messages.back().text; }

    bool Connect()
    {
        Button(MainId::Connect)->click();
        return WaitFor([&] { return dlg->IsConnected(); }, patienceMs);
    }
    // Types a line at the keyboard, once the terminal has the focus.
    bool Type(const char *line)
    {
        QApplication::setActiveWindow(dlg.get());
        const bool focused = WaitFor([&] { return QApplication::focusWidget() == View(); }, patienceMs);
        QTest::keyClicks(View(), QString::fromLatin1(line) + '\r');
        return focused;
    }
    // "Clear" (which hands the focus to the terminal), then a typed command
    // whose reply must show.
    ::testing::AssertionResult Answers()
    {
        Button(MainId::Clear)->click();
        if (!Type("at+ab info"))
            return ::testing::AssertionFailure() << "the terminal did not get the focus";
        if (!Shows("Publish Addr C001"))
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

    QLineEdit *LoaderStatusField() const
    {
        for (auto *e : dlg->findChild<CLoadImage *>()->findChildren<QLineEdit *>())
            if (e->accessibleName() == QLatin1String("Status"))
                return e;
        return nullptr;
    }
    QString LoaderStatus() const { return LoaderStatusField()->text(); }

    // Ticks or unticks "Reconnect" in Setup, which works only while idle.
    bool SetReconnect(bool on)
    {
        QTimer::singleShot(0, [on] {
            auto *setup = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!setup)
                return;
            for (auto *box : setup->findChildren<QAbstractButton *>())
                if (box->accessibleName() == QLatin1String("Reconnect") && box->isChecked() != on)
                    box->click();
            setup->accept();
        });
        Button(MainId::Setup)->click();
        return dlg->CurrentSettings().autoReconnect == uint32_t(on);
    }

    // Clicks "Load" and waits for the transfer's end; returns the loader's
    // status line then.
    QString Load(int timeoutMs = 60000)
    {
        QLineEdit *status = LoaderStatusField();
        status->clear(); // an earlier download's result is not this one's
        Button(MainId::Load)->click();
        WaitFor([&] { return !status->text().isEmpty() && status->text() != "Loading Image"; }, timeoutMs);
        return status->text();
    }
    bool LoaderOpen() const { return dlg->findChild<CLoadImage *>()->isVisible(); }

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
