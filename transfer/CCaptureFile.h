#pragma once
// The capture file on disk: verrin.dat in the user's home folder (d:\verrin.dat
// on Windows). Small chunks are gathered in memory and written in large
// pieces, so a fast line costs few system calls; large chunks go straight
// through.

#include "transfer/Capture.h"

#include <QFile>
#include <QString>

#include <vector>

class CCaptureFile : public CaptureFile {
public:
    // The capture file of this user.
    CCaptureFile();
    explicit CCaptureFile(const QString &path);
    ~CCaptureFile() override;

    static QString DefaultPath();

    bool Open() override;
    bool Write(const uint8_t *bytes, uint32_t count) override;
    bool Flush() override;
    bool Close() override;
    uint64_t BytesSaved() const override { return m_saved; }
    std::string Path() const override;
    std::string ErrorText() const override { return m_error.toStdString(); }

private:
    bool WriteOut(const uint8_t *bytes, size_t count);

    QFile m_file;
    std::vector<uint8_t> m_pending;
    uint64_t m_saved = 0;
    QString m_error;
};
