#include "dialogs/CSetColor.h"

#include "dialogs/CColorEdit.h"

#include <QTextDocument>
#include <QTextOption>
#include "dialogs/ColorText.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kColorTextLength = 6;

QLineEdit *MakeColorBox(const QString &text, const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(text.left(kColorTextLength), parent);
    box->setMaxLength(kColorTextLength);
    box->setAlignment(Qt::AlignCenter);
    box->setObjectName(name);
    box->setAccessibleName(name);
    return box;
}

} // namespace

CSetColor::CSetColor(const QString &previewText, const QString &textColor,
                     const QString &backgroundColor, QWidget *parent)
    : QDialog(parent)
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

QString CSetColor::TextColorText() const { return m_text->text(); }

QString CSetColor::BackgroundColorText() const { return m_background->text(); }

void CSetColor::UpdatePreview()
{
    m_preview->SetTextColor(ParseColor(m_text->text().toStdString()));
    m_preview->SetBackgroundColor(ParseColor(m_background->text().toStdString()));
}
