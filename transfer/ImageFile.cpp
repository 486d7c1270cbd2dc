#include "transfer/ImageFile.h"

#include "common/CodePage.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <new>

std::filesystem::path ImagePath(const std::string &downloadPath, const std::string &downloadFilename)
{
    return std::filesystem::u8path(CodePageToUtf8(downloadPath + downloadFilename));
}

std::vector<uint8_t> ReadImageFile(const std::filesystem::path &path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return {};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > std::numeric_limits<uint32_t>::max())
        return {};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::vector<uint8_t> image;
    try {
        image.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc &) {
        return {};
    }
    file.read(reinterpret_cast<char *>(image.data()), static_cast<std::streamsize>(image.size()));
    // A file that shrank while it was read is sent as far as it was read.
    image.resize(static_cast<size_t>(file.gcount()));
    return image;
}
