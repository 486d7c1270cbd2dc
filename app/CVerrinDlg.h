#pragma once
// The main window: a terminal on one port. It owns the port, the settings of
// the profile it holds, the terminal text and the transfer state, and wires
// its controls to them; the rules themselves live in the core.

#include "app/CMessageBoxes.h"
#include "app/CommandButtons.h"
#include "app/ProfileMessages.h"
#include "app/LineTest.h"
#include "app/SlicedReceive.h"
#include "instance/CSharedMemory.h"
#include "instance/ProfileSession.h"
#include "netview/NetViewHost.h"
#include "settings/CRegistry.h"
#include "transfer/CCaptureFile.h"
#include "transfer/LoaderHost.h"
#include "transfer/YmodemSender.h"
#include "app/MainWindowRules.h"
#include "app/TerminalText.h"
#include "serial/CSerialPort.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QTimer>
#include <map>

class CDebug;
class CLoadImage;
class CTerminalView;
class QAbstractButton;
class QComboBox;
class QLineEdit;

class CVerrinDlg : public QDialog,
                   public EchoSink,
                   public NetViewHost,
                   public LoaderHost,
                   private CaptureDisplay {
    Q_OBJECT
public:
    struct StartOptions {
        QString portPath;  // empty: the profile's port
        int32_t baudrate = 0; // 0: the profile's baud rate
        bool connect = false;
        bool debugMode = false; // show the debug screen and trace downloads
    };

    // messages: where user messages go; message boxes of this window when null.
    explicit CVerrinDlg(const StartOptions &options, UserMessages *messages = nullptr,
                        QWidget *parent = nullptr);

    // Why the window could not start (no free profile, no instance store,
    // or the user gave up waiting for a lock); Claimed when it runs normally.
    StartOutcome Started() const { return m_started; }
    ~CVerrinDlg() override;

    // A termination request: closes the window, which saves and frees its
    // profile (answering Cancel to every question on the way), and ends every
    // modal loop that runs, the dialogs and message boxes that are up with it.
    void EndOnRequest();

    // Operations the other windows use.
    void UpdateControlStates() override;
    void UpdateTitle();
    void ClearTerminal() override;
    void EchoToTerminal(std::string_view text) override;
    void UpdateCommandCaptions();
    bool OpenPort();
    bool ClosePort();

    // The terminal and the port as the mesh network view sees them.
    std::string_view TerminalContent() const override { return m_terminal.Text(); }
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override;
    int32_t SendString(std::string_view text) override { return m_port.SendString(text); }
    bool PortOpen() const override { return m_port.IsConnected(); }

    // What the loader window asks of the main window.
    void SetLoading(bool loading) override { m_loading = loading; }
    void ApplyLoaderSettings(const LoaderSettings &settings) override;
    StartResult StartTransfer(std::vector<uint8_t> image) override;
    void RequestTransferAbort() override { m_sender->RequestAbort(); }

    SerialLink &Port() { return m_port; }
    UserMessages &Messages() { return m_messages; }
    const TerminalText &Terminal() const { return m_terminal; }
    const Settings &CurrentSettings() const { return m_settings; }
    QString PortPath() const { return m_portPath; }
    bool IsConnected() const { return m_port.IsConnected(); }

    // The control with the given template id (tests and accessibility).
    QWidget *Control(int id) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void done(int result) override;

private:
    void CreateControls();
    void Poll();
    void ReceiveStep();
    void ReceiveSlices();
    bool HandleTerminalKey(QKeyEvent *event);
    void ApplyKey(const KeyOutcome &outcome);
    void FollowTerminal();
    void ShowAbout();
    void OnConnect();
    void OnDisconnect();
    void OnEscape();
    void OnStayOnTop(bool checked);
    void OnPortLost();
    void OnPortBack();
    void StopWaitingForPort();
    void OnCommandButton(int n);
    void StartLineTest();
    void FeedLineTest();
    void FeedLineTestPieces();
    void FinishLineTest();
    void StopLineTest();
    void OnSetCmds();
    void OnSetup();
    void FillProfileList();
    void SelectProfile(int index);
    void OnClearProfiles();
    void SaveSettings();
    void SaveDownloadChoice();
    void KeepUnsavedCopy();
    void LeaveProfile();
    template <typename Attempt> bool AskWhileBusy(Attempt attempt, LockWaitStep step);
    void ResolvePortPath();
    void OnNetView();
    void OnSelect();
    void OnLoad();
    void RunTransferSteps();
    void SetCaptureCaption(const std::string &caption) override;
    void SetSpeedText(const std::string &text) override;
    void EnableSpeed(bool enabled) override;
    void ShowRxCount();

    // Program-wide: the settings store and the instance store, then the
    // profile this instance holds in them.
    CRegistry m_registry;
    CSharedMemory m_store;
    ProfileSession m_session;
    StartOutcome m_started = StartOutcome::StoreUnavailable;

    CMessageBoxes m_boxes;
    UserMessages &m_messages;
    CSerialPort m_port;
    QTimer m_pollTimer;
    TerminalText m_terminal;
    Settings m_settings;
    QString m_portPath;
    int32_t m_transferState = 0;
    bool m_loading = false;
    bool m_binaryMode = false;
    bool m_inPoll = false;
    bool m_leaving = false;      // saving and freeing the profile at exit
    bool m_endRequested = false; // a termination request came
    SlicedReceive m_receive{m_port, m_terminal};
    QTimer m_receiveSlices; // the rest of a receive step, once the event loop has had its turn
    // The line test under way, if any, and what it waits for.
    std::unique_ptr<LineTestFeed> m_lineTest;
    QTimer m_lineTestPause;
    bool m_feeding = false;
    CCaptureFile m_captureFile; // outlives m_capture, which closes it
    SteadyTickClock m_clock;
    Capture m_capture;

    CTerminalView *m_view = nullptr;
    CDebug *m_debug = nullptr;       // modeless, hidden unless debug mode is on
    CLoadImage *m_loader = nullptr;  // modeless, shown by "Load"
    std::unique_ptr<YmodemSender> m_sender;
    std::map<int, QWidget *> m_controls;
};
