#pragma once

#include "core/clscolsetordergrid.h"
#include "platform/fileio/failure.h"
#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/formats/magickruntime.h"

#include <QString>
#include <functional>

// The one class through which the program turns images into PDFs, over our imaging
// library: one image into one PDF with the compression of its own colour class, or an
// ordered list of file records into one merged PDF. No document outlives a call.
//
// Every failure answers False, writes one line to the error log and leaves no output:
// the library writes beside the target and renames only a finished PDF into place.
class ApImgToPdf {
public:
    // Sets the libraries up on the thread that makes the engine (the window's): their one-time
    // start changes the process environment, which must not happen on a worker thread while
    // the window's thread reads it.
    ApImgToPdf() { imaging::ensureMagickReady(); }

    // The files to merge, in merge order.
    clsColSetOrderGridList colOrderedData;
    // Full path of the PDF the merge writes.
    QString FileNameToSave;
    // Called as the merge gets on with a value from 0 to the number of records (see
    // MergeProgress), that number and "". The files are read on a worker thread, so it is
    // called from there too: the set-order dialog gives SetOrderProgress(), which queues each
    // value to its "ProgressBar1" on the window's thread. Optional.
    using Progress = std::function<void(int done, int total, const QString& file)>;
    Progress progress;

    // Merges every record of colOrderedData into FileNameToSave, all or nothing, working on
    // copies of the three members taken at the start; reports through `progress` while the
    // window keeps painting.
    // An empty FileNameToSave answers True and does nothing; an empty list writes nothing
    // and answers False.
    bool MergeConvert_TiffToPdfx();

    // One image into one PDF with the library's default compression.
    bool Convert_EachTiffToPDFbyOne(const QString& SrcFilePath, const QString& OutputPath);

    // One image into one PDF; only the compression name of the image's own colour class
    // (1-bit: EncodBW, 8-bit: EncodGraycale, 24-bit: EncodColor) is handed to the library.
    // Without `replaceExisting` a file that exists at the target when the PDF is put in
    // place is left alone and the conversion fails (the check is part of the rename).
    bool ConverImageToPdf(const QString& strInputImage, const QString& strOutputImage, const QString& EncodColor,
                          const QString& EncodGraycale, const QString& EncodBW, bool replaceExisting = true);
    // The same with the three classes' compressions as table entries: the names above are
    // looked up once (imaging::CompressionChoice::fromNames) and come here.
    bool ConverImageToPdf(const QString& strInputImage, const QString& strOutputImage,
                          const imaging::CompressionChoice& compression, bool replaceExisting = true);

    // The last call's failure as its error log line gives it (number 61 when the PDF could
    // not be written for want of space, which fails every later file as well); number 0
    // after a call that succeeded.
    const fileio::Failure& LastFailure() const { return m_lastFailure; }

    // ConverImageToPdf puts each PDF in place only once its bytes are on the disk, so a
    // power cut can lose a PDF but never leave an empty one under its name.
    void SetDurableOutputs(bool durable) { m_durableOutputs = durable; }

private:
    // Runs `body` under the procedure's trap, keeping the number of what it trapped.
    template <class Body> bool trapped(QStringView procedure, Body&& body);

    fileio::Failure m_lastFailure;
    bool m_durableOutputs = false;
};
