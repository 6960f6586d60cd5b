#pragma once

// Our image-to-PDF library: the five calls the engine class relies on, plus a discard
// and the last failure. Handles are small positive integers; every negative answer is one
// of imaging::ApCode.

#include "platform/fileio/failure.h"

#include "platform/imaging/encoders/compression.h"

#include <QString>
#include <functional>

namespace fileio {
class OutputSet;
}

namespace imaging {

// Validates and remembers the target; nothing is written until ApClose. With `noReplace`
// ApClose fails instead of replacing a file that exists at the target by then. With
// `durable` ApClose puts the PDF in place only once its bytes are on the disk.
// Answers a handle > 0, or a negative code.
int ApCreate(const QString& outputPdfPath, bool noReplace = false, bool durable = false);

// Code 211: bits per pixel of the image's first page as stored (PDF 0); negative when unreadable.
int ApGetFunction(int handle, int code, int arg1, int arg2, const QString& imagePath, int arg3);

// Code 123: compression `name` for images of colour class `classCode` (1 BW, 2 grey, 3 colour)
// in this document. Answers 0, or a negative code for a bad handle or code.
int ApSetFunction(int handle, int code, int classCode, int arg1, const QString& name, int arg2);

// Code 123 by table entry, for callers that hold a Compression rather than its name.
int setDocumentCompression(int handle, int classCode, Compression compression);

// Appends every page of the image (or PDF) to the document; answers the number of pages
// added, or a negative code with the document unchanged.
int ApAddImage(int handle, const QString& imagePath);

// Writes the document to a temporary file beside the target and renames it into place.
// Answers 0 when committed, a negative code otherwise; the handle is released either way.
// `progress`, when given, is called during the write with the percentage written so far
// (most of a merge's time goes here); it is called on the writing thread and must not throw.
// With `outputs` the PDF is not renamed into place but waits there for the other files of
// its call.
int ApClose(int handle, const std::function<void(int percent)>& progress = {}, fileio::OutputSet* outputs = nullptr);

// Releases the handle without writing anything.
void ApDiscard(int handle);

// The most recent failure of any call: its code (the negative answer) and a text naming the
// file and the cause, for the error log.
fileio::Failure ApLastFailure();
// Its text alone.
QString ApLastError();

} // namespace imaging
