#pragma once

// A TIFF written by libtiff through the atomic writer: libtiff seeks and writes on the
// writer's descriptor through our own procedures, which keep the first system error, so a
// full disk is reported as such and the target is replaced only by a complete file.

#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/outputset.h"

#include <QString>
#include <tiffio.h>

namespace tiffpages {

class TiffOutput {
public:
    explicit TiffOutput(const QString& target);
    ~TiffOutput(); // an uncommitted file is discarded
    TiffOutput(const TiffOutput&) = delete;
    TiffOutput& operator=(const TiffOutput&) = delete;

    // `bigTiff` for output that may pass 4 GiB.
    bool open(bool bigTiff, fileio::Failure& failure);
    TIFF* get() const { return m_tiff; }

    // Ends the current page; false (with the cause) when libtiff could not write it.
    bool writeDirectory(fileio::Failure& failure);
    // Finishes the file and puts it in place, or with `outputs` leaves it waiting there for
    // the other files of its call.
    bool commit(fileio::Failure& failure, fileio::OutputSet* outputs = nullptr);

    // The failure of the last libtiff call, as the system error when there was one.
    bool fail(fileio::Failure& failure, const QString& what);

    // Procedures libtiff calls.
    static tmsize_t readProc(thandle_t, void*, tmsize_t);
    static tmsize_t writeProc(thandle_t, void*, tmsize_t);
    static toff_t seekProc(thandle_t, toff_t, int);
    static int closeProc(thandle_t);
    static toff_t sizeProc(thandle_t);
    static int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap);

private:
    void closeTiff();

    fileio::AtomicWriter m_file;
    TIFF* m_tiff = nullptr;
    int m_fd = -1;
    int m_errno = 0;
    QString m_error;
};

} // namespace tiffpages
