#pragma once
// A fresh folder under $TMPDIR (or /tmp) with a random name, private to the
// user, removed with everything in it when the object goes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

class TempDir {
public:
    explicit TempDir(const char *prefix = "verrin-e2e")
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }
    // A folder inside, created (mode 0700) on first use.
    std::string Sub(const std::string &name) const
    {
        const std::string p = m_path + "/" + name;
        std::error_code ignored;
        std::filesystem::create_directories(p, ignored);
        std::filesystem::permissions(p, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ignored);
        return p;
    }

private:
    std::string m_path;
};

// The whole content of a file; empty when it cannot be read.
inline std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
