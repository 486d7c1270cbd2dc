#include "dialogs/CSendCmd.h"

#include "common/QtText.h"
#include "common/UserMessages.h"
#include "settings/Registry.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QValidator>
#include <QVBoxLayout>

namespace {

// Command texts and captions are 8-bit text: a box takes only characters
// that the 8-bit page has a code for, so what it shows is what goes out, and
// no more characters than the settings file can give back.
class CodePageValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        bool complete = false;
        ToCodePage(input, &complete);
        return complete ? Acceptable : Invalid;
    }
};

QLineEdit *NewBox(const QString &accessibleName)
{
    auto *box = new QLineEdit;
    box->setAccessibleName(accessibleName);
    box->setMaxLength(int(kMaxStringValueLength));
    box->setValidator(new CodePageValidator(box));
    return box;
}

QCheckBox *NewCheck(const QString &caption, const QString &accessibleName)
{
    auto *check = new QCheckBox(caption);
    check->setAccessibleName(accessibleName);
    return check;
}

} // namespace

CSendCmd::CSendCmd(const Settings &settings, UserMessages &messages, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_messages(messages)
{
    setWindowTitle(QStringLiteral("Send Command"));

    auto *rows = new QGridLayout;
    BuildCommandRows(rows);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CSendCmd::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addWidget(BuildLineTestGroup());
    layout->addWidget(buttons);

    FillControls();
    ApplyBlockEnabling();

    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void CSendCmd::BuildCommandRows(QGridLayout *grid)
{
    grid->addWidget(new QLabel(QStringLiteral("Name")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Command")), 0, 1);
    for (size_t i = 0; i < 9; ++i) {
        const QString row = QStringLiteral("command %1 ").arg(i + 1);
        m_names[i] = NewBox(row + QStringLiteral("name"));
        m_commands[i] = NewBox(row + QStringLiteral("text"));
        m_hex[i] = NewCheck(QStringLiteral("Hex"), row + QStringLiteral("hex"));
        m_crLf[i] = NewCheck(QStringLiteral("Send CR LF"), row + QStringLiteral("send CR LF"));
        m_names[i]->setMinimumWidth(110);
        m_commands[i]->setMinimumWidth(320);

        const int r = static_cast<int>(i) + 1;
        grid->addWidget(m_names[i], r, 0);
        grid->addWidget(m_commands[i], r, 1);
        grid->addWidget(m_hex[i], r, 2);
        grid->addWidget(m_crLf[i], r, 3);

        connect(m_names[i], &QLineEdit::textChanged, this,
                [this, i](const QString &text) { m_settings.cmdName[i] = ToCodePage(text); });
        connect(m_commands[i], &QLineEdit::textChanged, this,
                [this, i](const QString &text) { m_settings.sendCmd[i] = ToCodePage(text); });
    }
    grid->setColumnStretch(1, 1);
}

QWidget *CSendCmd::BuildLineTestGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Send Line Command"));
    auto *grid = new QGridLayout(group);

    m_lineCount = NewBox(QStringLiteral("line count"));
    // Typing takes digits only; a stored count with other characters still
    // shows as it is and is judged at OK.
    m_lineCount->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_lineCount));
    connect(m_lineCount, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_settings.sendCmd[9] = ToCodePage(text); });
    auto *lineCountLabel = new QLabel(
        QStringLiteral("Send this many lines of exactly 30 chars (including the CR and LF)"));
    lineCountLabel->setBuddy(m_lineCount);

    m_continuous = NewCheck(QStringLiteral("Continuous"), QStringLiteral("continuous"));
    connect(m_continuous, &QCheckBox::clicked, this, &CSendCmd::OnContinuousClicked);

    m_blockSize = NewBox(QStringLiteral("bytes per block"));
    m_blockSizeLabel = new QLabel(QStringLiteral("Bytes per block"));
    m_blockSizeLabel->setBuddy(m_blockSize);
    m_pause = NewBox(QStringLiteral("pause per block"));
    m_pauseLabel = new QLabel(QStringLiteral("MS pause per block"));
    m_pauseLabel->setBuddy(m_pause);

    for (QLineEdit *box : {m_lineCount, m_blockSize, m_pause})
        box->setMaximumWidth(80);
    grid->addWidget(m_lineCount, 0, 0);
    grid->addWidget(lineCountLabel, 0, 1);
    grid->addWidget(m_continuous, 1, 0, 1, 2);
    grid->addWidget(m_blockSize, 2, 0);
    grid->addWidget(m_blockSizeLabel, 2, 1);
    grid->addWidget(m_pause, 3, 0);
    grid->addWidget(m_pauseLabel, 3, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

void CSendCmd::FillControls()
{
    for (size_t i = 0; i < 9; ++i) {
        m_names[i]->setText(FromCodePage(m_settings.cmdName[i]));
        m_commands[i]->setText(FromCodePage(m_settings.sendCmd[i]));
        m_hex[i]->setChecked(m_settings.sendHex[i] != 0);
        m_crLf[i]->setChecked(m_settings.sendCrLf[i] != 0);
    }
    m_lineCount->setText(FromCodePage(m_settings.sendCmd[9]));
    m_continuous->setChecked(m_settings.sendContinuous != 0);
    // The block numbers are stored signed but edited as unsigned numbers.
    m_blockSize->setText(QString::number(static_cast<uint32_t>(m_settings.sendBlockSize)));
    m_pause->setText(QString::number(static_cast<uint32_t>(m_settings.sendMsPause)));
}

void CSendCmd::OnContinuousClicked()
{
    ApplyBlockEnabling();
    const SendCmdCheck check = ReadBlockBoxes(ToCodePage(m_blockSize->text()), ToCodePage(m_pause->text()));
    if (check.bad != SendCmdBox::None)
        Refuse(check);
}

void CSendCmd::accept()
{
    const SendCmdCheck check = CheckSendCmdOk(m_settings.sendCmd[9], ToCodePage(m_blockSize->text()),
                                              ToCodePage(m_pause->text()));
    if (check.bad != SendCmdBox::None) {
        Refuse(check);
        return;
    }
    for (size_t i = 0; i < 9; ++i) {
        m_settings.sendHex[i] = m_hex[i]->isChecked() ? 1 : 0;
        m_settings.sendCrLf[i] = m_crLf[i]->isChecked() ? 1 : 0;
    }
    m_settings.sendContinuous = m_continuous->isChecked() ? 1 : 0;
    m_settings.sendBlockSize = static_cast<int32_t>(check.blockSize);
    m_settings.sendMsPause = static_cast<int32_t>(check.pauseMs);
    QDialog::accept();
}

void CSendCmd::ApplyBlockEnabling()
{
    const bool blocks = !m_continuous->isChecked();
    m_blockSize->setEnabled(blocks);
    m_blockSizeLabel->setEnabled(blocks);
    m_pause->setEnabled(blocks);
    m_pauseLabel->setEnabled(blocks);
}

void CSendCmd::Refuse(const SendCmdCheck &check)
{
    QLineEdit *box = check.bad == SendCmdBox::LineCount   ? m_lineCount
                     : check.bad == SendCmdBox::BlockSize ? m_blockSize
                                                          : m_pause;
    const MessageIcon icon =
        check.bad == SendCmdBox::LineCount ? MessageIcon::None : MessageIcon::Exclamation;
    m_messages.Show(check.message, std::string(), icon);
    box->setFocus();
    box->selectAll();
}

bool CSendCmd::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
