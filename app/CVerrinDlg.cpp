#include "app/CVerrinDlg.h"

#include "app/CTerminalView.h"
#include "common/DialogUnitsQt.h"
#include "app/KeyInput.h"
#include "common/PollDispatch.h"
#include "settings/SettingsStore.h"
#include "dialogs/CPortProber.h"
#include "dialogs/CPortSetup.h"
#include "dialogs/CSendCmd.h"
#include "netview/RunNetView.h"
#include "transfer/CDebug.h"
#include "transfer/CLoadImage.h"
#include "transfer/SelectDownloadFile.h"
#include "common/QtText.h"
#include "dialogs/ColorText.h"
#include "serial/PortNames.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QScopedValueRollback>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <climits>
#include <cstdio>
#include <vector>

namespace {
constexpr int kPollIntervalMs = 100;
// How often a window waiting for its device looks for it: a device that is
// back is open again within a fifth of a second.
// A receive step is shown a slice at a time, and after this much time the
// event loop gets its turn (paints, timers, the port) before the rest: the
// window never goes more than a frame without repainting, however fast bytes
// arrive.
constexpr size_t kReceiveSliceBytes = 8 * 1024;
constexpr qint64 kReceiveRunNs = 1'000'000;

KeyPress ToKeyPress(const QKeyEvent *e, bool terminalFocused)
{
    KeyPress k;
    k.terminalFocused = terminalFocused;
    k.ctrl = e->modifiers() & Qt::ControlModifier;
    k.alt = e->modifiers() & Qt::AltModifier;
    if (e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
        k.letter = char('A' + (e->key() - Qt::Key_A));
    const bool ctrlLetter = k.ctrl && k.letter;
    switch (e->key()) {
    case Qt::Key_Backspace: k.kind = KeyKind::Backspace; return k;
    case Qt::Key_Return:
    case Qt::Key_Enter: k.kind = KeyKind::Enter; return k;
    default: break;
    }
    if (!ctrlLetter && e->matches(QKeySequence::Cut)) {
        k.kind = KeyKind::Cut;
        return k;
    }
    if (!ctrlLetter && e->matches(QKeySequence::Copy)) {
        k.kind = KeyKind::Copy;
        return k;
    }
    // Keys beyond the character range (Delete, Insert, arrows, F-keys,
    // Shift+Tab, which moves the focus back) type nothing, whatever text the
    // platform gives them; Tab and Escape are typed as their control codes.
    const int key = e->key();
    k.typesCharacter = !e->text().isEmpty() &&
                       (key <= Qt::Key_Escape || key == Qt::Key_Tab || key == Qt::Key_unknown);
    k.text = ToCodePage(e->text());
    return k;
}

std::optional<LockBusy> BusyOf(const ProfileSession &session) { return session.Busy(); }
} // namespace

// The icon lives in the resources of a static library, which register only
// when asked.
static void RegisterResources() { Q_INIT_RESOURCE(verrin); }

CVerrinDlg::CVerrinDlg(const StartOptions &options, UserMessages *messages, QWidget *parent)
    : QDialog(parent), m_session(m_store, m_registry, uint32_t(QCoreApplication::applicationPid())),
      m_boxes(this), m_messages(messages ? *messages : m_boxes),
      m_port(m_messages), m_capture(m_captureFile, m_clock, *this, m_messages)
{
    RegisterResources();
    setWindowIcon(QIcon(QStringLiteral(":/verrin.svg")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    CreateControls();

    m_debug = new CDebug(this);
    m_loader = new CLoadImage(*this, m_messages, this);
    m_sender = std::make_unique<YmodemSender>(m_port, *m_loader, *m_debug, m_settings, m_clock);

    const bool waited = AskWhileBusy(
        [this] {
            m_started = m_session.Start(m_settings);
            return m_started == StartOutcome::LockBusy ? BusyOf(m_session) : std::nullopt;
        },
        LockWaitStep::Start);
    if (!waited) {
        // A profile claimed before the wait is given back; its settings were
        // never loaded, so nothing is saved.
        if (m_session.Release())
            m_session.Abandon();
        m_started = StartOutcome::Cancelled;
    }
    if (m_started != StartOutcome::Claimed)
        return;
    // The command line chooses the port and rate of this run; they are kept
    // with the profile like a choice made in "Setup".
    if (options.baudrate > 0)
        m_settings.baudrate = options.baudrate;
    if (!options.portPath.isEmpty())
        m_settings.portName = ToCodePage(options.portPath);
    ResolvePortPath();

    m_pollTimer.setInterval(kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &CVerrinDlg::Poll);
    m_receiveSlices.setSingleShot(true);
    m_receiveSlices.setInterval(0);
    connect(&m_receiveSlices, &QTimer::timeout, this, [this] {
        // Inside a poll step's message box the step goes on after the box.
        if (m_inPoll)
            return;
        m_inPoll = true;
        ReceiveSlices();
        m_inPoll = false;
    });
    m_lineTestPause.setSingleShot(true);
    m_lineTestPause.setTimerType(Qt::PreciseTimer);
    connect(&m_lineTestPause, &QTimer::timeout, this, &CVerrinDlg::FeedLineTest);
    // Queued: the line test is fed from the event loop, never from inside
    // the port's own signal.
    connect(&m_port, &CSerialPort::BytesSent, this, &CVerrinDlg::FeedLineTest, Qt::QueuedConnection);
    connect(&m_port, &CSerialPort::WriteFailed, this, [this] {
        StopLineTest();
        UpdateControlStates();
    });
    connect(&m_port, &CSerialPort::PortLost, this, &CVerrinDlg::OnPortLost);
    connect(&m_port, &CSerialPort::PortBack, this, &CVerrinDlg::OnPortBack);
    // A download goes on as soon as its reply arrives, not only at the tick.
    connect(&m_port, &CSerialPort::BytesArrived, this, [this] {
        if (m_transferState != 0)
            RunTransferSteps();
    });
    m_port.blockObserver = [this](const uint8_t *bytes, uint32_t count) {
        m_capture.CaptureChunk(bytes, count);
    };
    qApp->installEventFilter(this);

    static_cast<QLineEdit *>(Control(MainId::ImageName))
        ->setText(FromCodePage(m_settings.downloadFilename));
    FillProfileList();
    UpdateControlStates();
    UpdateTitle();
    UpdateCommandCaptions();
    connect(m_debug->DebugModeAction(), &QAction::toggled, this,
            [this](bool on) { m_settings.debugMode = on ? 1 : 0; });
    if (options.debugMode)
        m_debug->SetDebugMode(true);
    if (options.connect)
        QTimer::singleShot(0, this, &CVerrinDlg::OnConnect);
}

CVerrinDlg::~CVerrinDlg()
{
    qApp->removeEventFilter(this);
    LeaveProfile(); // nothing left to do after done()
    // The view reads the terminal text until it is gone, so it goes first.
    delete m_view;
}

QWidget *CVerrinDlg::Control(int id) const
{
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CVerrinDlg::CreateControls()
{
    setFixedSize(DialogUnitsRect(font(), 0, 0, 519, 287).size());

    std::vector<QWidget *> groups;
    for (const ControlSpec &control : MainControls()) {
        const QString caption = QString::fromLatin1(control.caption);
        QWidget *w = nullptr;
        switch (control.kind) {
        case ControlKind::PushButton: {
            auto *b = new QPushButton(caption, this);
            b->setAutoDefault(false);
            w = b;
            break;
        }
        case ControlKind::CheckBox: w = new QCheckBox(caption, this); break;
        case ControlKind::GroupBox:
            w = new QGroupBox(caption, this);
            groups.push_back(w);
            break;
        case ControlKind::StaticText: w = new QLabel(caption, this); break;
        case ControlKind::ReadOnlyEdit: {
            auto *e = new QLineEdit(this);
            e->setReadOnly(true);
            if (control.id == MainId::ImageName)
                e->setAlignment(Qt::AlignCenter);
            w = e;
            break;
        }
        case ControlKind::ComboBox: {
            w = new QComboBox(this);
            break;
        }
        case ControlKind::Terminal:
            m_view = new CTerminalView(this);
            m_view->setFont([] {
                QFont f(QStringLiteral("Courier New"));
                f.setPixelSize(12);
                return f;
            }());
            w = m_view;
            break;
        }
        QRect r = DialogUnitsRect(font(), control.x, control.y, control.w, control.h);
        if (control.kind == ControlKind::ComboBox) // the template's height is the dropped list's
            r.setHeight(std::max(w->sizeHint().height(), DialogUnitsRect(font(), 0, 0, 0, 12).height()));
        w->setGeometry(r);
        w->setAccessibleName(control.caption[0] ? caption : QString::fromLatin1(control.role));
        if (control.id)
            m_controls[control.id] = w;
    }
    for (QWidget *g : groups)
        g->lower();

    static_cast<QLineEdit *>(Control(MainId::RxCount))->setText(QStringLiteral("0"));
    static_cast<QLineEdit *>(Control(MainId::Speed))->setText(QStringLiteral("0"));

    auto button = [this](int id) { return static_cast<QAbstractButton *>(Control(id)); };
    connect(button(MainId::Connect), &QAbstractButton::clicked, this, &CVerrinDlg::OnConnect);
    connect(button(MainId::Disconnect), &QAbstractButton::clicked, this, &CVerrinDlg::OnDisconnect);
    connect(button(MainId::Clear), &QAbstractButton::clicked, this, &CVerrinDlg::ClearTerminal);
    connect(button(MainId::Escape), &QAbstractButton::clicked, this, &CVerrinDlg::OnEscape);
    connect(button(MainId::StayOnTop), &QAbstractButton::toggled, this, &CVerrinDlg::OnStayOnTop);
    connect(button(MainId::BinaryMode), &QAbstractButton::toggled, this,
            [this](bool checked) {
                m_binaryMode = checked;
                UpdateCommandCaptions();
            });
    connect(button(MainId::SetCmds), &QAbstractButton::clicked, this, &CVerrinDlg::OnSetCmds);
    connect(button(MainId::Setup), &QAbstractButton::clicked, this, &CVerrinDlg::OnSetup);
    connect(button(MainId::ClearProfiles), &QAbstractButton::clicked, this,
            &CVerrinDlg::OnClearProfiles);
    connect(static_cast<QComboBox *>(Control(MainId::ProfileList)), &QComboBox::activated, this,
            &CVerrinDlg::SelectProfile);
    connect(button(MainId::NetView), &QAbstractButton::clicked, this, &CVerrinDlg::OnNetView);
    connect(button(MainId::Select), &QAbstractButton::clicked, this, &CVerrinDlg::OnSelect);
    connect(button(MainId::Load), &QAbstractButton::clicked, this, &CVerrinDlg::OnLoad);
    connect(button(MainId::Capture), &QAbstractButton::clicked, this,
            [this] { m_capture.ToggleCapture(); });
    for (int n = 1; n <= 10; ++n)
        connect(button(MainId::Command[n - 1]), &QAbstractButton::clicked, this,
                [this, n] { OnCommandButton(n); });
}

void CVerrinDlg::ResolvePortPath()
{
    m_portPath = FromCodePage(m_settings.portName.empty() ? DevicePathForPortNumber(m_settings.commPort)
                                                          : m_settings.portName);
}

void CVerrinDlg::FillProfileList()
{
    auto *list = static_cast<QComboBox *>(Control(MainId::ProfileList));
    const QSignalBlocker quiet(list);
    list->clear();
    for (const char *name : kProfileNames)
        list->addItem(QString::fromLatin1(name));
    list->setCurrentIndex(m_session.ProfileIndex());
}

void CVerrinDlg::SelectProfile(int index)
{
    SwitchOutcome outcome = SwitchOutcome::Same;
    AskWhileBusy(
        [&] {
            outcome = m_session.SelectProfile(index, m_settings);
            return outcome == SwitchOutcome::LockBusy ? BusyOf(m_session) : std::nullopt;
        },
        LockWaitStep::Switch);
    if (outcome == SwitchOutcome::InUse) {
        const ProfileMessage m = ProfileInUseMessage();
        m_messages.Show(m.text, m.caption, m.icon);
    }
    ResolvePortPath();
    static_cast<QLineEdit *>(Control(MainId::ImageName))
        ->setText(FromCodePage(m_settings.downloadFilename));
    FillProfileList();
    UpdateTitle();
    UpdateControlStates();
    Control(MainId::Connect)->setFocus();
    UpdateCommandCaptions();
}

void CVerrinDlg::OnClearProfiles()
{
    if (!AskWhileBusy([this] { return m_session.ClearProfiles(); }, LockWaitStep::ClearProfiles))
        return;
    const ProfileMessage m = ClearProfilesMessage();
    m_messages.Show(m.text, m.caption, m.icon);
}

// Runs `attempt` again for as long as it finds a lock between processes busy
// and the user answers Retry; false when the user cancels.
template <typename Attempt> bool CVerrinDlg::AskWhileBusy(Attempt attempt, LockWaitStep step)
{
    while (const std::optional<LockBusy> busy = attempt()) {
        const std::string profile = m_session.ProfileName();
        const ProfileMessage m =
            LockBusyQuestion(*busy, step, profile, CRegistry::UnsavedCopyPath(profile).toStdString());
        // Also on stderr, where a user who started Verrin from a terminal
        // looks when its window is slow to come.
        std::fprintf(stderr, "verrin: %s\n", m.text.c_str());
        if (m_endRequested || m_messages.AskRetry(m.text, m.caption, m.icon) == Answer::Cancel)
            return false;
    }
    return true;
}

void CVerrinDlg::SaveSettings()
{
    if (!AskWhileBusy([this] { return m_session.Save(m_settings); }, LockWaitStep::Save))
        KeepUnsavedCopy();
}

void CVerrinDlg::SaveDownloadChoice()
{
    if (!AskWhileBusy([this] { return m_session.SaveDownloadChoice(m_settings); }, LockWaitStep::Save))
        KeepUnsavedCopy();
}

// A save the user gave up on: the profile's settings, which stay in memory
// for the next save, are also written beside the settings file.
void CVerrinDlg::KeepUnsavedCopy()
{
    const std::string profile = m_session.ProfileName();
    const QString failure = CRegistry::WriteUnsavedCopy(profile, ProfileExport(profile, m_settings));
    if (failure.isEmpty())
        return;
    const ProfileMessage m = UnsavedCopyFailedMessage(
        profile, CRegistry::UnsavedCopyPath(profile).toStdString(), failure.toStdString());
    m_messages.Show(m.text, m.caption, m.icon);
}

// At exit: the settings are saved before the profile is freed, so that an
// instance that takes it next loads them.
void CVerrinDlg::LeaveProfile()
{
    if (!m_session.HasProfile())
        return;
    SaveSettings();
    if (!AskWhileBusy([this] { return m_session.Release(); }, LockWaitStep::Release))
        m_session.Abandon();
}

void CVerrinDlg::EndOnRequest()
{
    m_endRequested = true;
    reject();
    // Every modal loop running (a dialog, a message box, the mesh view and
    // its closing wait) ends with the window, so that nothing goes on
    // running on a released profile.
    QCoreApplication::exit(0);
}

void CVerrinDlg::OnSetup()
{
    CPortProber prober;
    CPortSetup dialog(SetupValuesOf(m_settings), prober, m_messages, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ApplySetupValues(dialog.Values(), m_settings);
    SaveSettings();
    ResolvePortPath();
    UpdateTitle();
    UpdateControlStates();
}

void CVerrinDlg::OnNetView() { RunNetView(*this, this); }

void CVerrinDlg::OnSelect()
{
    const auto chosen = SelectDownloadFile(this, {m_settings.downloadPath, m_settings.downloadFilename}, m_messages);
    if (!chosen)
        return;
    m_settings.downloadPath = chosen->path;
    m_settings.downloadFilename = chosen->name;
    static_cast<QLineEdit *>(Control(MainId::ImageName))
        ->setText(FromCodePage(m_settings.downloadFilename));
    SaveDownloadChoice();
}

void CVerrinDlg::OnLoad()
{
    m_loader->Load({m_settings.downloadPath, m_settings.downloadFilename, m_settings.bdAddr,
                    m_settings.smallPackets});
}

void CVerrinDlg::ApplyLoaderSettings(const LoaderSettings &settings)
{
    m_settings.downloadPath = settings.downloadPath;
    m_settings.downloadFilename = settings.downloadFilename;
    m_settings.bdAddr = settings.bdAddr;
    m_settings.smallPackets = settings.smallPackets;
    static_cast<QLineEdit *>(Control(MainId::ImageName))
        ->setText(FromCodePage(m_settings.downloadFilename));
    SaveSettings();
}

StartResult CVerrinDlg::StartTransfer(std::vector<uint8_t> image)
{
    return m_sender->Start(std::move(image), m_transferState);
}

void CVerrinDlg::RunTransferSteps()
{
    // Not from inside a poll step: its own message box may be open.
    if (!m_inPoll)
        m_sender->RunReadySteps(m_transferState);
}

int32_t CVerrinDlg::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    return m_port.WriteBytes(buffer, count);
}

void CVerrinDlg::SetCaptureCaption(const std::string &caption)
{
    static_cast<QAbstractButton *>(Control(MainId::Capture))->setText(FromCodePage(caption));
    Control(MainId::Capture)->setAccessibleName(FromCodePage(caption));
}

void CVerrinDlg::SetSpeedText(const std::string &text)
{
    static_cast<QLineEdit *>(Control(MainId::Speed))->setText(FromCodePage(text));
}

void CVerrinDlg::EnableSpeed(bool enabled)
{
    Control(MainId::SpeedLabel)->setEnabled(enabled);
    Control(MainId::Speed)->setEnabled(enabled);
}

void CVerrinDlg::UpdateCommandCaptions()
{
    const auto captions = CommandCaptions(m_settings, m_binaryMode);
    for (int i = 0; i < 10; ++i) {
        auto *b = static_cast<QAbstractButton *>(Control(MainId::Command[i]));
        b->setText(FromCodePage(captions[i]));
        b->setAccessibleName(captions[i].empty() ? QStringLiteral("CMD%1").arg(i + 1) : b->text());
    }
}

void CVerrinDlg::OnCommandButton(int n)
{
    if (SendCommandButton(n, m_settings, m_binaryMode, m_port, *this) == CommandSend::LineTest)
        StartLineTest();
    m_view->setFocus();
}

void CVerrinDlg::StartLineTest()
{
    m_lineTest = std::make_unique<LineTestFeed>(ParseLineCount(m_settings.sendCmd[9]),
                                                PlanLineTest(m_settings));
    UpdateControlStates();
    FeedLineTest();
}

void CVerrinDlg::FeedLineTest()
{
    // Not again from inside itself (a message box of a failed write).
    if (!m_lineTest || m_feeding || m_lineTestPause.isActive())
        return;
    const QScopedValueRollback<bool> feeding(m_feeding, true);
    FeedLineTestPieces();
    FollowTerminal();
}

void CVerrinDlg::FeedLineTestPieces()
{
    // The port is kept holding about a tenth of a second of the line; each
    // piece is echoed as it is handed over, so the terminal shows what went.
    const size_t backlog = LineTestBacklog(m_settings.baudrate);
    while (m_lineTest) {
        const size_t held = size_t(std::max<qint64>(m_port.BytesToWrite(), 0));
        const LineTestFeed::Step step = m_lineTest->Next(held, backlog);
        switch (step.action) {
        case LineTestFeed::Action::Write:
            m_terminal.EchoTrimmed(step.bytes);
            if (m_port.QueueBytes(reinterpret_cast<const uint8_t *>(step.bytes.data()),
                                  uint32_t(step.bytes.size())) < 0) {
                StopLineTest();
                UpdateControlStates();
            }
            break;
        case LineTestFeed::Action::Wait:
            return; // BytesSent comes back here
        case LineTestFeed::Action::Pause:
            m_lineTestPause.start(int(std::min<uint32_t>(step.pauseMs, INT_MAX)));
            return;
        case LineTestFeed::Action::Done:
            FinishLineTest();
            return;
        }
    }
}

void CVerrinDlg::FinishLineTest()
{
    const std::deque<KeyOutcome> keys = m_lineTest->TakeHeldKeys();
    m_lineTest.reset();
    UpdateControlStates();
    for (const KeyOutcome &key : keys)
        ApplyKey(key);
}

void CVerrinDlg::StopLineTest()
{
    m_lineTest.reset();
    m_lineTestPause.stop();
}

void CVerrinDlg::OnSetCmds()
{
    CSendCmd dialog(m_settings, m_messages, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_settings = dialog.Result();
    SaveSettings();
    UpdateCommandCaptions();
}

void CVerrinDlg::UpdateControlStates()
{
    WindowState state;
    state.connected = m_port.IsConnected();
    state.loading = m_loading;
    state.flowEnabled = m_settings.flowEnabled != 0;
    state.lineTest = m_lineTest != nullptr;
    state.waitingForPort = m_port.Waiting();
    for (const ControlSpec &control : MainControls())
        if (control.id)
            Control(control.id)->setEnabled(IsEnabled(control.rule, state));

    const bool active = IsTerminalActive(state);
    m_view->SetReadOnly(!active);
    if (active) {
        m_view->SetTextColor(ParseColor(m_settings.screenTextColor));
        m_view->SetBackgroundColor(ParseColor(m_settings.screenBackgroundColor));
    } else {
        m_view->SetTextColor(kInactiveTextColor);
        m_view->SetBackgroundColor(kInactiveBackgroundColor);
    }
}

void CVerrinDlg::UpdateTitle()
{
    setWindowTitle(FromCodePage(
        FormatTitle(m_session.ProfileName(), PortDisplayName(ToCodePage(m_portPath)), m_settings.baudrate,
                    m_port.Waiting())));
}

bool CVerrinDlg::OpenPort()
{
    // A window that will wait for a vanished device tells of the loss in its
    // title rather than in a box.
    m_port.SetLossShown(m_settings.autoReconnect == 0);
    if (!m_port.OpenPort(m_portPath, m_settings.baudrate, m_settings.flowEnabled != 0))
        return false;
    m_pollTimer.start();
    return true;
}

bool CVerrinDlg::ClosePort()
{
    StopLineTest();
    if (!m_port.ClosePort())
        return false;
    m_pollTimer.stop();
    return true;
}

void CVerrinDlg::OnConnect()
{
    OpenPort();
    UpdateControlStates();
    if (m_port.IsConnected())
        m_view->setFocus();
}

void CVerrinDlg::OnDisconnect()
{
    StopWaitingForPort();
    ClosePort();
    UpdateControlStates();
    Control(MainId::Connect)->setFocus();
}

void CVerrinDlg::OnPortLost()
{
    StopLineTest();
    m_pollTimer.stop();
    // A download cannot go on: it ends as failed, its loader showing why.
    m_sender->EndOnPortLost(m_transferState, m_port.LossMessage());
    if (m_settings.autoReconnect) {
        m_port.WaitForDevice();
        UpdateTitle();
    }
    UpdateControlStates();
}

// The device the window waited for is back and the port open again with the
// same settings: the terminal works as before.
void CVerrinDlg::OnPortBack()
{
    m_pollTimer.start();
    UpdateTitle();
    UpdateControlStates();
    m_view->setFocus();
}

void CVerrinDlg::StopWaitingForPort()
{
    if (!m_port.Waiting())
        return;
    m_port.StopWaiting();
    UpdateTitle();
}

void CVerrinDlg::Poll()
{
    // A message box raised by this step runs a modal loop that keeps the poll
    // timer going; the step must not run again inside its own box.
    if (m_inPoll)
        return;
    m_inPoll = true;
    switch (DecidePoll(m_transferState, m_sender->AbortRequested())) {
    case PollAction::TerminalReceive:
        ReceiveStep();
        break;
    case PollAction::TransferStep:
        m_sender->RunReadySteps(m_transferState);
        break;
    case PollAction::InvalidState:
        m_messages.Show(kInvalidStateMessage, "", MessageIcon::None);
        m_port.SetRtsHandshake(m_settings.flowEnabled != 0);
        m_transferState = 0;
        break;
    }
    m_inPoll = false;
}

void CVerrinDlg::ReceiveStep()
{
    // A step still under way goes on first; its bytes came before.
    if (!m_receive.Busy() && !m_receive.Start(m_binaryMode))
        return;
    ReceiveSlices();
}

void CVerrinDlg::ReceiveSlices()
{
    QElapsedTimer clock;
    clock.start();
    while (m_receive.Busy()) {
        // A download takes the port over, or the port went: the step ends
        // where it stands, and what it left waits for the next reader.
        if (m_transferState != 0 || !m_port.IsConnected()) {
            m_receive.End();
            break;
        }
        m_receive.Continue(kReceiveSliceBytes);
        if (clock.nsecsElapsed() >= kReceiveRunNs)
            break;
    }
    // Once a run, not once a slice: the count box need not redraw faster.
    FollowTerminal();
    ShowRxCount();
    if (m_receive.Busy())
        m_receiveSlices.start();
    else
        m_capture.Flush();
}

void CVerrinDlg::FollowTerminal() { m_view->Follow(m_terminal); }

void CVerrinDlg::EchoToTerminal(std::string_view text)
{
    m_terminal.Echo(text);
    FollowTerminal();
}

void CVerrinDlg::ClearTerminal()
{
    m_terminal.Clear();
    FollowTerminal();
    m_view->setFocus();
    m_port.ResetRxCount();
    ShowRxCount();
}

void CVerrinDlg::ShowRxCount()
{
    static_cast<QLineEdit *>(Control(MainId::RxCount))
        ->setText(QString::number(int32_t(m_port.RxCount())));
}

void CVerrinDlg::OnEscape()
{
    EchoToTerminal(kEscapeText);
    m_port.SendString(kEscapeText);
    m_view->setFocus();
}

void CVerrinDlg::OnStayOnTop(bool checked)
{
    // Changing the widget's flags would hide the visible window, and hiding
    // it ends its modal loop and with it the program. The native window takes
    // the flag as it stands, keeping its place and size.
    if (QWindow *window = windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint, checked);
    else
        setWindowFlag(Qt::WindowStaysOnTopHint, checked);
    raise();
    activateWindow();
}

bool CVerrinDlg::HandleTerminalKey(QKeyEvent *event)
{
    KeyOutcome outcome = DecideKeyPress(ToKeyPress(event, true));
    if (!outcome.consumed)
        return false;
    if (m_lineTest)
        m_lineTest->HoldKey(std::move(outcome));
    else
        ApplyKey(outcome);
    return true;
}

void CVerrinDlg::ApplyKey(const KeyOutcome &outcome)
{
    if (!outcome.send.empty())
        m_port.SendString(outcome.send);
    if (outcome.effect == TerminalEffect::RubOut) {
        m_terminal.RubOut();
        FollowTerminal();
    } else if (outcome.effect == TerminalEffect::Echo) {
        EchoToTerminal(outcome.echo);
    }
}

bool CVerrinDlg::eventFilter(QObject *watched, QEvent *event)
{
    // Every key aimed at this window passes here before its widget sees it.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QDialog::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    if (widget != this && !isAncestorOf(widget))
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (QApplication::focusWidget() == m_view)
        return HandleTerminalKey(key);
    return DecideKeyPress(ToKeyPress(key, false)).consumed;
}

void CVerrinDlg::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About Verrin..."), this, &CVerrinDlg::ShowAbout);
    menu.addAction(m_debug->DebugModeAction());
    menu.exec(event->globalPos());
}

void CVerrinDlg::ShowAbout()
{
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("About Verrin"));
    auto *layout = new QVBoxLayout(&about);
    auto *icon = new QLabel(&about);
    icon->setPixmap(windowIcon().pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("icon"));
    auto *text = new QLabel(QStringLiteral("Verrin Version " VERRIN_VERSION), &about);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(icon);
    layout->addWidget(text);
    layout->addWidget(buttons);
    about.exec();
}

void CVerrinDlg::done(int result)
{
    m_pollTimer.stop();
    m_port.StopWaiting();
    StopLineTest();
    m_receiveSlices.stop();
    m_capture.Stop();
    QDialog::done(result);
    // A termination request while the exit asks about a lock closes the
    // question; the exit that asked goes on.
    if (m_leaving)
        return;
    m_leaving = true;
    LeaveProfile();
    m_leaving = false;
}
