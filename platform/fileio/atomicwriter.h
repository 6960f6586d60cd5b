#pragma once

// Writes a file so that its target is either left exactly as it was or replaced by the
// complete new content, whatever happens meanwhile (a full disk, a kill, a crash).
//
// The data goes to an unnamed temporary file (O_TMPFILE) in the target's folder, which a
// kill simply discards, and is linked into place at commit. Where the file system has no
// unnamed files it goes to a short hidden name of our own (".qm-XXXXXXXX.tmp") that fits
// beside a target name of any legal length, locked while in use; the first writer into a
// folder removes such files that a killed process left (strayfiles.h). Every write is
// checked, so the error reported is the real one (61 for a full disk), never an empty file
// renamed into place.

#include "platform/fileio/failure.h"

#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <vector>

namespace fileio {

class PendingFile;

// The classic runtime error number for a system error code: 61 disk full (ENOSPC, EDQUOT,
// EFBIG), 70 permission denied, 76 path not found, 58 file already exists, 57 device I/O
// error, 75 path/file access error for anything else.
int runtimeErrorForErrno(int err);

class AtomicWriter {
public:
    enum class Mode {
        Replace,  // an existing target is replaced at commit
        NoReplace // commit fails with 58 when the target exists (checked atomically)
    };

    explicit AtomicWriter(QString target, Mode mode = Mode::Replace);
    ~AtomicWriter(); // an uncommitted file is discarded
    AtomicWriter(const AtomicWriter&) = delete;
    AtomicWriter& operator=(const AtomicWriter&) = delete;

    // Sync the data (and the folder entry) before commit answers: for files whose loss
    // after a power cut would cost the user more than the wait (settings, job state).
    void setSync(bool sync) { m_sync = sync; }

    bool open();
    bool write(const void* data, size_t size);
    bool write(QByteArrayView bytes) { return write(bytes.data(), size_t(bytes.size())); }
    // Copies `length` bytes from `offset` of the readable file `fd` into the file, inside
    // the kernel where it can (no copy through our memory). Answers the bytes copied: fewer
    // than `length` when the source ends early, -1 when writing failed (error set as for write).
    qint64 copyFrom(int fd, qint64 offset, qint64 length);
    // For libraries that write through a descriptor of their own (libtiff seeks and reads
    // back): flushes what is buffered and hands out the descriptor, which stays ours (dup it
    // for a library that closes what it is given). -1 when not open.
    int descriptor();
    // Flushes, checks and puts the file in place; false leaves the target untouched.
    bool commit();
    // Flushes and checks the file as commit() does but leaves it out of place, handed to
    // `pending`, for files that must reach their targets together (OutputSet). The writer
    // is then closed; false leaves the target untouched.
    bool stageInto(PendingFile& pending);
    void cancel();

    bool isOpen() const { return m_fd >= 0; }
    // Bytes written so far, buffered ones included.
    qint64 size() const { return m_written + qint64(m_buffer.size()); }
    const QString& target() const { return m_target; }
    int errorNumber() const { return m_errorNumber; } // 0 when nothing failed
    int systemError() const { return m_systemError; }
    QString errorString() const { return m_error; }
    // The failure as a number and a text; number 0 when nothing failed.
    Failure failure() const { return {m_errorNumber, m_error}; }

    // Test seam: pretend the file system has no unnamed temporary files.
    static void setUnnamedTemporaryFilesAllowed(bool allowed);

private:
    bool openNamed();
    bool finish();
    bool flushBuffer();
    bool fail(const char* what, int err);
    bool placeUnnamed();
    bool placeNamed();
    bool syncFolder();

    QString m_target;
    QByteArray m_targetPath;
    QByteArray m_folderPath;
    Mode m_mode;
    bool m_sync = false;
    bool m_unnamed = false;
    bool m_descriptorLent = false;
    int m_fd = -1;
    QByteArray m_tempPath; // named fallback only
    std::vector<char> m_buffer;
    qint64 m_written = 0;
    int m_errorNumber = 0;
    int m_systemError = 0;
    QString m_error;
};

// Writes `bytes` to `target` in one go through an AtomicWriter. On failure answers false
// and, when asked, the runtime error number and a text naming the file and the cause.
bool writeFileAtomically(const QString& target, QByteArrayView bytes, bool sync = false, int* errorNumber = nullptr,
                         QString* errorText = nullptr, AtomicWriter::Mode mode = AtomicWriter::Mode::Replace);

} // namespace fileio
