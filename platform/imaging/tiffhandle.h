#pragma once

// libtiff opened quietly: errors and warnings are collected for our error text instead of
// going to stderr, for files as well as for the in-memory TIFFs the encoders write.

#include <QString>
#include <cstdint>
#include <tiffio.h>
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
    // must be an error, not a SIGBUS).
    bool openFile(const QString& path, const char* mode);
    bool openMemory(TiffMemory* memory, const char* mode);
    void close();

    TIFF* get() const { return m_tiff; }
    // The first error libtiff reported (warnings are dropped).
    QString error() const { return m_error; }
    void clearError() { m_error.clear(); }

private:
    static int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap);
    static int onWarning(TIFF*, void*, const char*, const char*, va_list);
    TIFFOpenOptions* options();

    TIFF* m_tiff = nullptr;
    QString m_error;
};

} // namespace imaging
