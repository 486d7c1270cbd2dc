#include "transfer/CCaptureFile.h"

#include "common/QtText.h"
#include <QDir>

namespace {
// Up to this much waits in memory; a chunk this large or larger is written
// at once.
constexpr size_t kPendingLimit = 64 * 1024;
} // namespace

QString CCaptureFile::DefaultPath()
{
#ifdef _WIN32
    return QStringLiteral("D:/verrin.dat");
#else
    return QDir(QDir::homePath()).filePath(QStringLiteral("verrin.dat"));
#endif
}

CCaptureFile::CCaptureFile() : CCaptureFile(DefaultPath()) {}

CCaptureFile::CCaptureFile(const QString &path) : m_file(path)
{
    m_pending.reserve(kPendingLimit);
}

CCaptureFile::~CCaptureFile() { Close(); }

std::string CCaptureFile::Path() const
{
    return ToCodePage(QDir::toNativeSeparators(m_file.fileName()));
}

bool CCaptureFile::Open()
{
    Close();
    m_pending.clear();
    m_saved = 0;
    m_error.clear();
    // Unbuffered: this class does its own gathering and must know exactly
    // which bytes reached the file.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool CCaptureFile::Write(const uint8_t *bytes, uint32_t count)
{
    if (!m_file.isOpen())
        return false;
    if (m_pending.size() + count > kPendingLimit && !Flush())
        return false;
    if (count >= kPendingLimit)
        return WriteOut(bytes, count);
    m_pending.insert(m_pending.end(), bytes, bytes + count);
    return true;
}

bool CCaptureFile::Flush()
{
    if (m_pending.empty())
        return true;
    const bool written = WriteOut(m_pending.data(), m_pending.size());
    m_pending.clear();
    return written;
}

bool CCaptureFile::WriteOut(const uint8_t *bytes, size_t count)
{
    while (count > 0) {
        const qint64 written = m_file.write(reinterpret_cast<const char *>(bytes),
                                            static_cast<qint64>(count));
        if (written <= 0) {
            m_error = m_file.errorString();
            return false;
        }
        m_saved += static_cast<uint64_t>(written);
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool CCaptureFile::Close()
{
    if (!m_file.isOpen())
        return true;
    const bool flushed = Flush();
    m_file.close();
    return flushed;
}
