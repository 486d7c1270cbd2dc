#pragma once
// Reading the firmware image that "Load" sends.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The image of a profile: its download path followed directly by its file
// name, both 8-bit text, as a path of the file system.
std::filesystem::path ImagePath(const std::string &downloadPath, const std::string &downloadFilename);

// The whole file at path. Empty when the file cannot be read: it does not
// exist, is not a regular file (a folder, a device, a pipe), cannot be
// opened, is empty, is larger than the transfer can count (4 GiB), or no
// memory can be had for it.
std::vector<uint8_t> ReadImageFile(const std::filesystem::path &path);
