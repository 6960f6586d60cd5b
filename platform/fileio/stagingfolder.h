#pragma once

// The hidden folder (".qm-XXXXXXXX.set") beside the targets of one call that writes several
// files (OutputSet), holding what of that call has a name before it is in place: new files
// that wait without a descriptor and, while the call's files are put in place, the files
// they replace under a second name. It is locked while in use (see strayfiles.h).
//
// Before the first file is put in place the folder gets a record of every target: whether
// a file was there, where its second name is, and which file the call puts there. Should
// the process die part way, the next writer into the folder takes the call back with it:
// a target that still holds the call's file gets its old file again (or, where it was free,
// none), so a call that did not finish changes no file. A target changed since is left as
// it is. Once every file is in place the record goes first, so from then on only the
// second names remain to be removed.

#include <QByteArray>
#include <memory>
#include <sys/types.h>
#include <vector>

struct stat;

namespace fileio {

// What tells a file from one put at the same name later.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    long long modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity identityOf(const struct stat& st);

class StagingFolder {
public:
    // A new, locked staging folder in `folder`; null with `err` set.
    static std::unique_ptr<StagingFolder> create(const QByteArray& folder, int& err);
    ~StagingFolder(); // removes it and what it still holds, unless kept
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const QByteArray& folder() const { return m_folder; } // the targets' folder
    // A fresh name inside.
    QByteArray newPath();

    struct Entry {
        QByteArray targetName;  // within folder()
        QByteArray backupPath;  // the replaced file's second name; empty when there is none
        bool existed = false;   // whether the target held a file before
        FileIdentity placed;    // the file the call puts at the target
    };
    // 0, or the system error (then nothing may be placed).
    int writeRecord(const std::vector<Entry>& entries, bool sync);
    // Every target holds its new file: nothing is to be taken back any more.
    void dropRecord();
    // Something could not be taken back now: the folder stays, with its record, for the
    // next writer into the folder.
    void keepForRecovery() { m_keep = true; }

private:
    StagingFolder(QByteArray folder, QByteArray path, int fd);

    QByteArray m_folder;
    QByteArray m_path;
    int m_fd = -1;
    quint64 m_counter = 0;
    bool m_keep = false;
};

// A staging folder at `path` in `folder` that no live process holds: the call it belonged
// to is taken back as its record says, then the folder goes with all it holds.
void recoverStagingFolder(const QByteArray& path, const QByteArray& folder);

} // namespace fileio
