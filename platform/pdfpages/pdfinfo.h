#pragma once

// The page count and the information dictionary (/Info) of a PDF.

#include "platform/fileio/outputset.h"

#include <QString>

namespace pdfpages {

// The number of pages of the document, opened with `password`: the root's /Count, checked
// against the page tree it stands for. -1 on failure, 321 for a tree that is missing, loops
// or does not add up. The one page count of a PDF: every count shown or used comes from here.
int pdfPageCount(const QString& path, const QString& password, fileio::Failure& failure);

// The information entries as "Key=Value" lines joined by CR LF, keys in sorted order, text
// decoded (a CR or LF inside a value becomes a blank). "" for a document without entries.
bool readPdfInfo(const QString& path, const QString& password, QString& text, fileio::Failure& failure);

// Applies "Key=Value" lines (CR LF or LF) to the information dictionary and writes the
// document to `output` (which may be `source`), encryption kept. A key is
// [A-Za-z0-9_.-]+; an empty value removes the key; blank lines are skipped. Any other
// line fails the call before anything is written.
bool updatePdfInfo(const QString& source, const QString& password, const QString& keysValues,
                   const QString& output, fileio::Failure& failure);

} // namespace pdfpages
