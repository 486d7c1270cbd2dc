#include "dialogs/CSetColor.h"

#include "common/QtText.h"
#include "dialogs/CColorEdit.h"

#include <QTextDocument>
#include <QTextOption>
#include "dialogs/ColorText.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

namespace {

// Typing stops at six characters; a longer text already in the box (a stored
// one) may still be shortened, and is refused at OK.
class ColorLengthValidator : public QValidator {
public:
    explicit ColorLengthValidator(QLineEdit *box) : QValidator(box), m_box(box) {}
    State validate(QString &input, int &) const override
    {
        if (size_t(input.size()) <= kColorTextMaxLength)
            return Acceptable;
        return input.size() < m_box->text().size() ? Intermediate : Invalid;
    }

private:
    QLineEdit *m_box;
};

QLineEdit *MakeColorBox(const QString &text, const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    box->setValidator(new ColorLengthValidator(box));
    box->setAlignment(Qt::AlignCenter);
    box->setObjectName(name);
    box->setAccessibleName(name);
    return box;
}

} // namespace

CSetColor::CSetColor(const QString &previewText, const QString &textColor,
                     const QString &backgroundColor, UserMessages &messages, QWidget *parent)
    : QDialog(parent), m_messages(messages)
{
    setWindowTitle(tr("Set Screen Colors"));

    m_preview = new CColorEdit(this);
    m_preview->setPlainText(previewText);
    m_preview->document()->setDefaultTextOption(QTextOption(Qt::AlignCenter));
    m_preview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_preview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_preview->setFixedHeight(m_preview->fontMetrics().height() * 2);
    // Read-only keeps its background colour, so the preview shows exactly
    // what the terminal will.
    m_preview->SetReadOnly(true);
    m_preview->setObjectName(QStringLiteral("Preview"));
    m_preview->setAccessibleName(QStringLiteral("Preview"));

    m_background = MakeColorBox(backgroundColor, QStringLiteral("Background"), this);
    m_text = MakeColorBox(textColor, QStringLiteral("Text"), this);
    auto *backgroundLabel = new QLabel(tr("Background"), this);
    auto *textLabel = new QLabel(tr("Text"), this);
    backgroundLabel->setBuddy(m_background);
    textLabel->setBuddy(m_text);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *boxes = new QGridLayout;
    boxes->addWidget(backgroundLabel, 0, 0, Qt::AlignHCenter);
    boxes->addWidget(textLabel, 0, 1, Qt::AlignHCenter);
    boxes->addWidget(m_background, 1, 0);
    boxes->addWidget(m_text, 1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_preview);
    layout->addLayout(boxes);
    layout->addWidget(buttons);

    connect(m_background, &QLineEdit::textChanged, this, &CSetColor::UpdatePreview);
    connect(m_text, &QLineEdit::textChanged, this, &CSetColor::UpdatePreview);

    UpdatePreview();
}

void CSetColor::accept()
{
    for (QLineEdit *box : {m_background, m_text}) {
        if (size_t(box->text().size()) > kColorTextMaxLength) {
            m_messages.Show(kColorTextTooLongMessage, "", MessageIcon::Exclamation);
            box->setFocus();
            box->selectAll();
            return;
        }
    }
    QDialog::accept();
}

QString CSetColor::TextColorText() const { return m_text->text(); }

QString CSetColor::BackgroundColorText() const { return m_background->text(); }

void CSetColor::UpdatePreview()
{
    m_preview->SetTextColor(ParseColor(ToCodePage(m_text->text())));
    m_preview->SetBackgroundColor(ParseColor(ToCodePage(m_background->text())));
}
