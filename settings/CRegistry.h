#pragma once
// The registry accessor of the program: on Windows the registry of the current
// user; elsewhere the export-text file $XDG_CONFIG_HOME/Brondel/Verrin.reg,
// which holds the same keys and values (see RegFileFormat.h). A batch of
// accesses (a Registry::Hold) reads the file once and, if it changed
// anything, replaces it once, all under the file's lock, so that several
// running instances saving their profiles never lose each other's values.

#include "settings/Registry.h"

#include <QString>

class CRegistry : public Registry {
public:
    // ReadOnly: the store looked at without being changed. Every write of a
    // batch is refused (a load keeps the defaults it could not read to
    // itself), and no lock is taken, so that a process stopped while it saves
    // never keeps a reader waiting.
    enum class Mode { ReadWrite, ReadOnly };
    explicit CRegistry(Mode mode = Mode::ReadWrite) : m_mode(mode) {}

    // The file that stands in for the registry (empty on Windows).
    static QString FilePath();
    // Where a file that could not be read as an export is kept when the
    // program starts a new one in its place.
    static QString UnreadableCopyPath();

    // Where the settings of a profile go when a save cannot reach the store
    // and the user gives up waiting: an export text beside the settings file.
    static QString UnsavedCopyPath(const std::string &profile);
    // Writes `exportText` there; the reason when that fails, else empty.
    static QString WriteUnsavedCopy(const std::string &profile, const std::string &exportText);

protected:
    RegistryOpening Open() override;

private:
    Mode m_mode;
};
