#include "transfer/SelectDownloadFile.h"

#include "common/QtText.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QStringList>

namespace {

// Qt's own dialog reads only blank-separated patterns, so "*.bin;*.wav" would
// match no file at all and "*.*" no file without an extension. Give its model
// the patterns the filter text means.
void ApplyFilterPatterns(QFileDialog &dialog, const QString &filter)
{
    auto *model = dialog.findChild<QFileSystemModel *>();
    if (!model)
        return;
    QStringList patterns;
    for (const std::string &pattern : FilterPatterns(ToCodePage(filter)))
        patterns.append(FromCodePage(pattern));
    model->setNameFilters(patterns);
}

} // namespace

void ConfigureDownloadFileDialog(QFileDialog &dialog, const DownloadFile &current)
{
    dialog.setWindowTitle(QString::fromLatin1(kSelectTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
#ifndef Q_OS_WIN
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
    dialog.setNameFilters(
        {QString::fromLatin1(kImageFilesFilter), QString::fromLatin1(kAllFilesFilter)});
    // Queued: the dialog sets its own patterns when a filter is chosen.
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString &filter) { ApplyFilterPatterns(dialog, filter); },
        Qt::QueuedConnection);
    ApplyFilterPatterns(dialog, dialog.selectedNameFilter());
    if (!current.path.empty())
        dialog.setDirectory(FromCodePage(current.path));
    dialog.selectFile(FromCodePage(current.name));
}

std::optional<DownloadFile> SelectDownloadFile(QWidget *parent, const DownloadFile &current,
                                               UserMessages &messages)
{
    QFileDialog dialog(parent);
    ConfigureDownloadFileDialog(dialog, current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().first());
    bool complete = false;
    const std::string path = ToCodePage(chosen, &complete);
    if (!complete) {
        // The profile keeps the path as 8-bit text and the download sends the
        // name so: a character it cannot hold would name another file.
        messages.Show(std::string(kNameOutsideCodePageMessage) + "\r\n" + path, kErrorCaption,
                      MessageIcon::Exclamation);
        return std::nullopt;
    }
    return SplitDownloadPath(path);
}
