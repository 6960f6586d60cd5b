#pragma once

// Copies TIFF pages without decoding them: the page's tags and its strips or tiles as
// stored, so the compression (and every byte of the image data) is kept. Old-style JPEG
// pages, which no writer should produce any more, are decoded and written as LZW.

#include "platform/fileio/outputset.h"
#include "platform/imaging/formats/tiffhandle.h"

#include <QString>
#include <cstdint>
#include <tiffio.h>

namespace tiffpages {

class TiffOutput;

// A TIFF opened for reading, with its size (the bound of every length it claims).
class TiffInput {
public:
    bool open(const QString& path, fileio::Failure& failure);
    TIFF* get() const { return m_handle.get(); }
    const QString& path() const { return m_path; }
    uint64_t size() const { return m_size; }
    // Number of pages (directories); -1 when the chain cannot be walked.
    int pageCount() const { return m_pages; }
    // Makes page `index` (0-based) current.
    bool select(int index, fileio::Failure& failure);
    bool failRead(fileio::Failure& failure, const QString& what);

private:
    imaging::TiffHandle m_handle;
    QString m_path;
    uint64_t m_size = 0;
    int m_pages = 0;
};

// Writes the current page of `in` as the next page of `out`; `pageNumber` and `pageTotal`
// (0-based, of the output) replace a PageNumber tag the page carries.
bool copyPage(TiffInput& in, TiffOutput& out, int pageNumber, int pageTotal, fileio::Failure& failure);

} // namespace tiffpages
