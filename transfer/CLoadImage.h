#pragma once
// The loader window: shows the firmware download's progress and result and
// passes the user's Abort on. Modeless, created hidden by the main window and
// kept for the life of the process; "OK" and Escape hide it.
//
// Three views: ready (after "Load", until the image is read), transfer, and
// finished. Each view sets or clears the main window's loading flag.

#include "common/UserMessages.h"
#include "transfer/LoaderHost.h"
#include "transfer/LoaderRules.h"
#include "transfer/TransferSinks.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class CLoadImage : public QDialog, public TransferProgress {
    Q_OBJECT
public:
    CLoadImage(LoaderHost &host, UserMessages &messages, QWidget *parent = nullptr);

    // The main window's "Load": clears the terminal, copies the settings,
    // places and shows the window, reads the image and starts the transfer.
    // "Could not read file" (or a file name the header cannot hold) leaves
    // the window in its ready view and the transfer state untouched.
    void Load(const LoaderSettings &current);

    LoaderView View() const { return view_; }
    const LoaderSettings &Copies() const { return copies_; }

    void ShowStatusText(const std::string &text) override;
    void ShowImageName(const std::string &name) override;
    void ShowFileSize(uint32_t size) override;
    void ShowBytesSent(uint32_t bytes) override;
    void ShowPacket(uint32_t blockNumber) override;
    void ShowFinishedView() override;
    void RunOkAction() override;
    void UpdateControlStates() override;

public slots:
    // "OK": settings back to the main window and saved, loading cleared, hidden.
    void accept() override;
    // Escape: loading cleared, hidden; a running transfer goes on.
    void reject() override;

private:
    void ShowView(LoaderView view);
    void OnAbort();
    void ShowError(const char *text);

    LoaderHost &host_;
    UserMessages &messages_;
    LoaderSettings copies_;
    LoaderView view_ = LoaderView::Ready;

    QLineEdit *image_;
    QLabel *packetLabel_;
    QLineEdit *packet_;
    QLabel *bytesSentLabel_;
    QLineEdit *bytesSent_;
    QLabel *fileSizeLabel_;
    QLineEdit *fileSize_;
    QProgressBar *progress_;
    QLineEdit *status_;
    QCheckBox *smallPackets_;
    QPushButton *abort_;
    QPushButton *ok_;
};
