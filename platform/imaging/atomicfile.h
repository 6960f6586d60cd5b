#pragma once

// Writes a file beside its target under a temporary name and renames it into place, so a
// failure or a kill never leaves a partial file and an existing target stays intact until
// the new one is complete. Unlike QSaveFile it does not fsync: that cost ten times the
// whole conversion of a JPEG, and rename-over-replace is already ordered by the file
// systems we run on.

#include <QString>
#include <cstddef>
#include <vector>

namespace imaging {

class AtomicFile {
public:
    explicit AtomicFile(QString target);
    ~AtomicFile(); // an uncommitted file is removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(const void* data, size_t size);
    // Flushes, closes and renames; false (with errorString) leaves the target untouched.
    bool commit();
    void cancel();
    QString errorString() const { return m_error; }

private:
    bool flushBuffer();
    bool fail(const char* what);

    QString m_target;
    QString m_temp;
    int m_fd = -1;
    std::vector<char> m_buffer;
    QString m_error;
};

} // namespace imaging
