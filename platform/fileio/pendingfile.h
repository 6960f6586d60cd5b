#pragma once

// A complete file that waits to reach its target together with others (see OutputSet):
// unnamed and held by its descriptor, or, once released, under a hidden name beside the
// target. Until it is placed nothing at the target changes; dropping it removes every
// trace of it.

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
    bool holdsDescriptor() const { return m_fd >= 0; }

    // Gives an unnamed file its hidden name and closes its descriptor, so that many files can
    // wait at once; a kill then leaves that name behind. 0, or the system error.
    int release();

    // Putting files in place together takes three steps (OutputSet::commit).
    // prepare() changes no target. Where the target exists, the new file gets a hidden name
    // (a rename replaces the target in one step) and the file it replaces a second, hidden
    // name, so that it can come back. 0, or the system error.
    int prepare();
    // Puts the file at its target. 0, or the system error with the target unchanged.
    int place();
    // Takes a placed file back: the file it replaced returns, a target that was free is
    // removed.
    void restore();
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
    bool m_replace = true;
    bool m_sync = false;
    bool m_existed = false;
    bool m_placed = false;
};

} // namespace fileio
