#include "transfer/CLoadImage.h"

#include "common/QtText.h"
#include "transfer/ImageFile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <climits>

namespace {

QLineEdit *ReadOnlyField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setAccessibleName(QString::fromLatin1(name));
    return field;
}

QLabel *Label(QWidget *parent, const char *text, QWidget *buddy)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setBuddy(buddy);
    label->setAccessibleName(QString::fromLatin1(text));
    return label;
}

// The progress bar counts in int; images beyond that saturate it.
int ProgressValue(uint32_t value)
{
    return static_cast<int>(std::min<uint32_t>(value, INT_MAX));
}

} // namespace

CLoadImage::CLoadImage(LoaderHost &host, UserMessages &messages, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      host_(host), messages_(messages)
{
    setWindowTitle(QStringLiteral("Loader"));
    setModal(false);

    image_ = ReadOnlyField(this, "Image");
    packet_ = ReadOnlyField(this, "Packet");
    bytesSent_ = ReadOnlyField(this, "Bytes Sent");
    fileSize_ = ReadOnlyField(this, "File Size");
    status_ = ReadOnlyField(this, "Status");
    packetLabel_ = Label(this, "Packet:", packet_);
    bytesSentLabel_ = Label(this, "Bytes Sent:", bytesSent_);
    fileSizeLabel_ = Label(this, "File Size:", fileSize_);
    progress_ = new QProgressBar(this);
    progress_->setAccessibleName(QStringLiteral("Progress"));
    progress_->setTextVisible(false);
    smallPackets_ = new QCheckBox(QStringLiteral("Send Only 128 byte packets"), this);
    smallPackets_->setAccessibleName(smallPackets_->text());
    abort_ = new QPushButton(QStringLiteral("Abort"), this);
    abort_->setAccessibleName(abort_->text());
    abort_->setAutoDefault(false);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setAccessibleName(ok_->text());
    ok_->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label(this, "Image:", image_), 0, 0);
    grid->addWidget(image_, 0, 1);
    grid->addWidget(packetLabel_, 1, 0);
    grid->addWidget(packet_, 1, 1);
    grid->addWidget(bytesSentLabel_, 2, 0);
    grid->addWidget(bytesSent_, 2, 1);
    grid->addWidget(fileSizeLabel_, 3, 0);
    grid->addWidget(fileSize_, 3, 1);
    grid->addWidget(progress_, 4, 0, 1, 2);
    grid->addWidget(status_, 5, 0, 1, 2);
    grid->addWidget(smallPackets_, 6, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(abort_);
    buttons->addWidget(ok_);
    grid->addLayout(buttons, 7, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    image_->setMinimumWidth(220);

    connect(abort_, &QPushButton::clicked, this, &CLoadImage::OnAbort);
    connect(ok_, &QPushButton::clicked, this, &CLoadImage::accept);
    connect(smallPackets_, &QCheckBox::clicked, this,
            [this](bool checked) { copies_.smallPackets = checked ? 1 : 0; });

    host_.SetLoading(false);
}

void CLoadImage::Load(const LoaderSettings &current)
{
    host_.ClearTerminal();
    host_.SetLoading(true);
    copies_ = current;
    if (QWidget *main = parentWidget())
        move(main->frameGeometry().topLeft() + QPoint(kLoaderOffsetX, kLoaderOffsetY));
    image_->setText(FromCodePage(copies_.downloadFilename));
    smallPackets_->setChecked(copies_.smallPackets != 0);
    ShowView(LoaderView::Ready);
    host_.UpdateControlStates();

    std::vector<uint8_t> image = ReadImageFile(ImagePath(copies_.downloadPath, copies_.downloadFilename));
    if (image.empty()) {
        ShowError(kCouldNotReadFileMessage);
        return;
    }
    // The main window's download file name equals the copy until "OK" or the
    // start below, so the transfer checks the name that goes into its header.
    if (host_.StartTransfer(std::move(image)) == StartResult::FileNameTooLong) {
        ShowError(kFileNameTooLongMessage);
        return;
    }
    ShowView(LoaderView::Transfer);
    host_.ApplyLoaderSettings(copies_);
}

void CLoadImage::ShowError(const char *text)
{
    messages_.Show(text, kErrorCaption, MessageIcon::Exclamation);
}

void CLoadImage::ShowView(LoaderView view)
{
    const LoaderEnabling enabling = EnablingForView(view);
    view_ = view;
    host_.SetLoading(enabling.loading);
    host_.UpdateControlStates();
    showNormal();
    image_->setEnabled(enabling.imageAndCheckBox);
    smallPackets_->setEnabled(enabling.imageAndCheckBox);
    status_->setEnabled(enabling.statusLine);
    for (QWidget *w : {static_cast<QWidget *>(packetLabel_), static_cast<QWidget *>(packet_),
                       static_cast<QWidget *>(bytesSentLabel_), static_cast<QWidget *>(bytesSent_),
                       static_cast<QWidget *>(fileSizeLabel_), static_cast<QWidget *>(fileSize_)})
        w->setEnabled(enabling.progressFields);
    ok_->setEnabled(enabling.ok);
    abort_->setEnabled(enabling.abort);
}

void CLoadImage::OnAbort()
{
    abort_->setEnabled(false);
    host_.RequestTransferAbort();
    host_.SetLoading(false);
    host_.UpdateControlStates();
}

void CLoadImage::accept()
{
    host_.ApplyLoaderSettings(copies_);
    host_.SetLoading(false);
    host_.UpdateControlStates();
    QDialog::accept();
}

void CLoadImage::reject()
{
    host_.SetLoading(false);
    host_.UpdateControlStates();
    QDialog::reject();
}

void CLoadImage::ShowStatusText(const std::string &text)
{
    status_->setText(FromCodePage(text));
}

void CLoadImage::ShowImageName(const std::string &name)
{
    image_->setText(FromCodePage(name));
}

void CLoadImage::ShowFileSize(uint32_t size)
{
    fileSize_->setText(QString::number(size));
    progress_->setRange(0, ProgressValue(size));
}

void CLoadImage::ShowBytesSent(uint32_t bytes)
{
    bytesSent_->setText(QString::number(bytes));
    progress_->setValue(ProgressValue(bytes));
}

void CLoadImage::ShowPacket(uint32_t blockNumber)
{
    packet_->setText(QString::number(blockNumber));
}

void CLoadImage::ShowFinishedView()
{
    ShowView(LoaderView::Finished);
}

void CLoadImage::RunOkAction()
{
    accept();
}

void CLoadImage::UpdateControlStates()
{
    host_.UpdateControlStates();
}
