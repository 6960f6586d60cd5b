#pragma once

// Where a failure reported below the windows becomes a run-time error for the error trap:
// the one place that gives each library's codes the number the error log shows.

#include "platform/fileio/failure.h"

#include <QString>
#include <source_location>

namespace failurenumbers {

// A failure of file I/O or of the page libraries: its own number, or 75 (path/file access
// error) when it has none.
int ofFailure(const fileio::Failure& failure);

// A failure of the image-to-PDF library while a page operation turns `source` into a PDF:
// 53 or 75 for a source that cannot be read (missing or not), 75 for a PDF that cannot be
// written, 61 for a full disk, 5 for a bad argument, 321 for anything else.
int ofImagingForPages(const fileio::Failure& failure, const QString& source);

// A failure of the image-to-PDF library in the engine class: the library's own code, which
// its error-log lines show, but a full disk as 61, as every other write of ours.
int ofImagingForEngine(const fileio::Failure& failure);

// Raises `failure` as run-time error `number` with the failure's text, recording the
// caller's line.
[[noreturn]] void raise(int number, const fileio::Failure& failure,
                        std::source_location where = std::source_location::current());
// The same with ofFailure(failure).
[[noreturn]] void raise(const fileio::Failure& failure, std::source_location where = std::source_location::current());

} // namespace failurenumbers
