#pragma once

// A complete file that waits to reach its target together with others (see OutputSet):
// unnamed and held by its descriptor, or, once released, named in the call's staging
// folder. Until it is placed nothing at the target changes; dropping it removes every
// trace of it.

#include "platform/fileio/stagingfolder.h"

#include <QByteArray>
#include <QString>

namespace fileio {

class AtomicWriter;

class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile() { discard(); }
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const QString& target() const { return m_target; }
    const QByteArray& folderPath() const { return m_folderPath; }
    bool holdsDescriptor() const { return m_fd >= 0; }
    // Whether the file has a name (a file written where unnamed files are missing).
    bool isNamed() const { return !m_hidden.isEmpty(); }
    bool syncRequested() const { return m_sync; }

    // Names the file in `staging` and closes its descriptor, so that many files can wait at
    // once. 0, or the system error.
    int release(StagingFolder& staging);

    // Putting files in place together takes three steps (OutputSet::commit).
    // prepare() changes no target. Where the target exists, the new file gets a name in
    // `staging` (a rename replaces the target in one step) and the file it replaces a
    // second name there, so that it can come back. 0, or the system error.
    int prepare(StagingFolder& staging);
    // What the staging folder's record keeps of this file (after prepare()).
    StagingFolder::Entry recordEntry() const;
    // Puts the file at its target. 0, or the system error with the target unchanged.
    int place();
    // Takes a placed file back: the file it replaced returns, a target that was free is
    // emptied. False when that could not be done.
    bool restore();
    // Once every file of the set is placed: the replaced file's second name goes.
    void settle();
    // Drops the file; a target it did not reach stays as it was.
    void discard();

    // Descriptors held by pending files in this process.
    static int descriptorsHeld();

private:
    friend class AtomicWriter;
    PendingFile(QString target, QByteArray targetPath, QByteArray folderPath, int fd, QByteArray hidden,
                bool replace, bool sync);
    void closeDescriptor();

    QString m_target;
    QByteArray m_targetPath;
    QByteArray m_folderPath;
    int m_fd = -1;
    QByteArray m_hidden; // the new file's name while it has one
    QByteArray m_backup; // the replaced file's second name
    FileIdentity m_identity;
    bool m_replace = true;
    bool m_sync = false;
    bool m_existed = false;
    bool m_placed = false;
};

} // namespace fileio
