#pragma once

// The cell texts of one result row and the small rules they are made with.

#include <QString>
#include <cstdint>

class PageCounter;

namespace filesearch {

struct FileRow {
    QString name;     // "Name"
    QString location; // "Location": the folder as the search passed it
    QString size;     // "Size (In KB)", e.g. "1,024 KB"
    QString type;     // "Type", e.g. "jpeg image"
    QString created;  // "Created Date", "dd/mm/yyyy hh:mm AM"
    QString modified; // "Modified Date"
    QString pages;    // "Pages": a count or "Error" for TIFF and PDF files while shown; else empty
    QString iconKey;  // the key of the "Name" cell's icon (platform::FileTypes::icon)
};

// The smallest whole number not below `value`; RuntimeError 6 beyond the 32-bit range.
int32_t RoundUp(double value);

// Whole kilobytes of a byte count, rounded up (0 bytes -> 0, 1 byte -> 1). 64-bit, so a
// file beyond 2 TiB still gets its size.
int64_t KilobytesOf(int64_t bytes);

// The text after the last "." of a path; "" when it has none.
QString GetExtension(const QString& path);

// The "Pages" text of a file: for a TIFF ("tif", "tiff") the count, "Error" below 0; for a
// PDF the count, "Error" at 0 or below; a null text for every other extension. Extensions
// are compared ignoring case; a missing counter counts as a failure.
QString PagesText(const QString& extension, const QString& path, PageCounter* tiffCounter,
                  PageCounter* pdfCounter);

} // namespace filesearch
