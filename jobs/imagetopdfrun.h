#pragma once

// One "&Convert" of the image-to-PDF dialog, without the dialog: every listed image into a
// PDF of its own, named after the image, in the output folder or beside the image.
//
// What the run guarantees beyond calling the converter once per file:
// - a file the converter answers false for is listed as failed, never counted as done (the
//   converter logs why);
// - a target this run has already written is never written again (photo.jpg and photo.tif,
//   or one name from two folders into one output folder): the later file is failed;
// - without "replace", any existing entry at the target (hidden files and dangling links
//   included) is left alone and the file skipped; a folder there is no such entry: the
//   converter is asked, and the file fails;
// - a name whose text stands for bytes that are not UTF-8 (it holds U+FFFD) is failed, so
//   no other file is converted under its name;
// - a file the run fails itself gets one error-log line with its reason;
// - a name without "." is its own base name.

#include "platform/imaging/encoders/compression.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace imagetopdf {

struct RunOptions {
    QString outputFolder; // as typed; blank: each PDF beside its image
    bool replace = false;
    imaging::CompressionChoice compression; // per colour class; Default sets none
};

struct SourceFile {
    QString name;     // the grid's "Name"
    QString location; // the grid's "Location"
};

class ImageToPdfRun {
public:
    // Writes one PDF; true when it was written. Without `replace` an existing target must be
    // left alone even if it appears meanwhile.
    using Converter = std::function<bool(const QString& source, const QString& target,
                                         const imaging::CompressionChoice& compression, bool replace)>;

    ImageToPdfRun(RunOptions options, Converter converter);

    // Called before each file (the dialog lets its events run there) and after each with the
    // number of files done so far, skipped and failed ones included.
    std::function<void()> beforeFile;
    std::function<void(int done)> afterFile;

    void Run(const QList<SourceFile>& files);

    // Full source paths of the failed files, in run order.
    const QStringList& Failed() const { return m_failed; }
    // The same, each followed by CR LF, as the error report lists them.
    QString FailureList() const;
    int Converted() const { return m_converted; }
    int Skipped() const { return m_skipped; }
    // The folder the last file's PDF was meant for.
    const QString& LastFolder() const { return m_lastFolder; }

    // The PDF path of an image: ValidateDir(folder) + the name up to its last "." + ".pdf".
    static QString TargetFor(const QString& folder, const QString& name);

    // Why no PDF can be written into `folder` ("" when it can): checked with this process's
    // own rights, before a run, so that a read-only folder is named at once instead of
    // failing every file.
    static QString OutputFolderProblem(const QString& folder);

private:
    void convertOne(const SourceFile& file);

    RunOptions m_options;
    Converter m_converter;
    bool m_besideImages = false;
    QSet<QString> m_written; // targets written in this run, by their real folder
    QStringList m_failed;
    int m_converted = 0;
    int m_skipped = 0;
    QString m_lastFolder;
};

} // namespace imagetopdf
