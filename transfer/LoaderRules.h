#pragma once
// The loader window's rules that need no window: which controls each view
// enables, the texts it shows, where it goes, and how a chosen image path is
// split into the download path and file name.

#include <string>
#include <vector>

enum class LoaderView { Ready, Transfer, Finished };

struct LoaderEnabling {
    bool imageAndCheckBox; // "Image:" field and "Send Only 128 byte packets"
    bool statusLine;
    bool progressFields;   // "Packet:", "Bytes Sent:", "File Size:" labels and fields
    bool ok;
    bool abort;
    bool loading;          // the main window's loading flag
};

LoaderEnabling EnablingForView(LoaderView view);

// Offset of the loader window from the main window's top-left corner.
constexpr int kLoaderOffsetX = 45;
constexpr int kLoaderOffsetY = 70;

inline constexpr const char *kCouldNotReadFileMessage = "Could not read file";
// "Select" refuses a file whose path holds characters that the 8-bit text
// cannot hold.
inline constexpr const char *kNameOutsideCodePageMessage =
    "This file cannot be chosen: its path holds characters that have no code in Windows-1252.";
inline constexpr const char *kErrorCaption = "Error";

// The "Select" file dialog.
inline constexpr const char *kSelectTitle = "Choose File to Download";
inline constexpr const char *kImageFilesFilter = "Files (*.bin;*.wav)";
inline constexpr const char *kAllFilesFilter = "All Files (*.*)";
inline constexpr const char *kDefaultSuffix = "bin";

// The download path (the folder, up to and including its last separator)
// and the download file name; the image file is their plain concatenation.
struct DownloadFile {
    std::string path;
    std::string name;
};

DownloadFile SplitDownloadPath(const std::string &fullPath);

// The name patterns of a file dialog filter such as "Files (*.bin;*.wav)":
// the text in its last parentheses, split at ';' and blanks. "*.*" stands for
// every file, with or without an extension.
std::vector<std::string> FilterPatterns(const std::string &filter);
