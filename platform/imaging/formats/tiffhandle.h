#pragma once

// libtiff opened quietly: errors and warnings are collected for our error text instead of
// going to stderr, for files as well as for the in-memory TIFFs the encoders write. Every
// reader of TIFF files (the page reader, the page counter) opens them here and walks their
// directories with nextDirectory().

#include <QString>
#include <cstdint>
#include <tiffio.h>
#include <unordered_set>
#include <vector>

namespace imaging {

// A growable byte buffer libtiff reads from and writes to.
struct TiffMemory {
    std::vector<uint8_t> bytes;
    uint64_t position = 0;
};

class TiffHandle {
public:
    TiffHandle() = default;
    ~TiffHandle();
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;

    // `mode` as for TIFFOpen; files are never memory-mapped (a file shrinking under us
    // must be an error, not a SIGBUS). A file opened for reading must be a regular file and
    // is opened without blocking (see sourcefile.h).
    bool openFile(const QString& path, const char* mode);
    // openFile for reading, answering ApOk, ApCannotRead when the file cannot be opened (or
    // is no regular file), ApCorrupt when it is no TIFF.
    int openSource(const QString& path, const char* mode = "r");
    bool openMemory(TiffMemory* memory, const char* mode);
    void close();

    // Reads the next directory of the chain: false at its end, and false with error() set
    // on a damaged directory or a chain that comes back to a directory read before.
    bool nextDirectory();

    TIFF* get() const { return m_tiff; }
    // The first error libtiff reported (warnings are dropped).
    QString error() const { return m_error; }
    // Whether a fax decoder ran out of data: libtiff only warns and leaves the rows after
    // it unwritten, so for us the page is damaged.
    bool dataEndedEarly() const { return m_dataEndedEarly; }
    void clearError() {
        m_error.clear();
        m_dataEndedEarly = false;
    }

private:
    static int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap);
    static int onWarning(TIFF*, void*, const char*, const char*, va_list);
    TIFFOpenOptions* options();

    TIFF* m_tiff = nullptr;
    QString m_error;
    std::unordered_set<uint64_t> m_seen; // directory offsets read so far
    bool m_dataEndedEarly = false;
};

} // namespace imaging
