#pragma once

// Opening a PDF for the page operations and writing one through the atomic writer, with
// QPDF's exceptions turned into failures callers can report.

#include "platform/fileio/filestamp.h"
#include "platform/fileio/outputset.h"

#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class ClosedFileInputSource;
class QPDF;
class QPDFWriter;

namespace pdfpages {

// Error numbers beyond the writer's own (61 disk full, 70, 76...).
constexpr int kFileNotFound = 53;
constexpr int kNeedsPassword = 70;
constexpr int kInvalidFormat = 321;
constexpr int kFileAccess = 75;
constexpr int kBadArgument = 5;

// Files that documents still read from while an output is written (QPDF copies their
// streams only then), each with the stamp it had when it was opened. A file replaced or
// changed meanwhile would put its new bytes into the output: the write fails instead.
struct ReadSources {
    std::vector<std::pair<QString, fileio::FileStamp>> files;
    // False, with a failure naming the file, when one is no longer as it was.
    bool unchanged(fileio::Failure& failure) const;
};

struct OpenOptions {
    // Keep the file closed between reads: a merge of many files holds none open meanwhile.
    bool closedBetweenReads = false;
    // With closedBetweenReads, the file is left open and its input given here, for the
    // caller to close (stayOpen(false)) once it has read what it needs now: reopening the
    // file for every object of the page tree costs more than the whole merge.
    std::shared_ptr<ClosedFileInputSource>* openInput = nullptr;
    // Read the document from these bytes (the file's contents), which must outlive it.
    const QByteArray* contents = nullptr;
    // A document read from its file is recorded here.
    ReadSources* readSources = nullptr;
};

// The document at `path`, opened with `password` (UTF-8; "" when none). Fails with 53 for a
// missing or irregular file, 70 when the password is needed or wrong, 321 for a file that is
// not a PDF or too damaged to read, 75 when reading fails.
std::unique_ptr<QPDF> openPdf(const QString& path, const QString& password, fileio::Failure& failure,
                              OpenOptions options = {});

// Writes `pdf` to `target` through the atomic writer: the target is replaced only by the
// whole document. `configure` may adjust the writer (encryption is preserved by default).
// With `outputs` the document waits there, out of place, for the others of its call. With
// `sources` the write fails when one of them changed after it was opened.
bool writePdf(QPDF& pdf, const QString& target, fileio::Failure& failure,
              const std::function<void(QPDFWriter&)>& configure = {}, fileio::OutputSet* outputs = nullptr,
              const ReadSources* sources = nullptr);

// A failure for an exception QPDF threw while reading `path`.
bool failFromException(const std::exception& e, const QString& path, fileio::Failure& failure);

} // namespace pdfpages
