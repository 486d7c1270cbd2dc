#pragma once
// The main window's "Select": the file dialog that chooses the image.

#include "common/UserMessages.h"
#include "transfer/LoaderRules.h"

#include <optional>

class QFileDialog;
class QWidget;

// Sets up dialog to open an image: title, filters, default suffix, and the
// current file preselected in its folder.
void ConfigureDownloadFileDialog(QFileDialog &dialog, const DownloadFile &current);

// Runs the dialog. The chosen file split into download path and file name,
// or nothing when the user cancels or chose a file whose path the 8-bit text
// cannot hold (then the user is told).
std::optional<DownloadFile> SelectDownloadFile(QWidget *parent, const DownloadFile &current,
                                               UserMessages &messages);
