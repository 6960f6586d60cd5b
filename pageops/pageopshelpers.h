#pragma once

// What the page-operation classes share: failures of the layer below raised as run-time
// errors for their traps, the output folder named after a source, image -> PDF, and a
// rendering handle that is discarded (with its files) unless it was closed.

#include "platform/fileio/outputset.h"

#include <QString>

namespace pageops {

// Raises `failure` as a run-time error unless `ok`.
void check(bool ok, const fileio::Failure& failure);

// ValidateDir(outputFolder) followed by the source's name without its extension, created
// when missing. A source name without "." raises 5; a folder that cannot be made, 76.
QString folderForSource(const QString& source, const QString& outputFolder);

// Every page of the image (or PDF) `source` into the PDF `target`; raises on failure with
// nothing written. With `outputs` the PDF waits there, out of place, for the others of its call.
void convertToPdf(const QString& source, const QString& target, fileio::OutputSet* outputs = nullptr);

class RenderJob {
public:
    explicit RenderJob(int handle) : m_handle(handle) {}
    // Opens `pdf`; raises 53 (missing), 321 (not a PDF or damaged), 70 (password), 5.
    explicit RenderJob(const QString& pdf);
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    void set(int property, const QString& text, int value);
    int pageCount() const;
    void convert(int page);
    // Commits what is still pending and releases the handle.
    void close();

private:
    int m_handle;
};

} // namespace pageops
