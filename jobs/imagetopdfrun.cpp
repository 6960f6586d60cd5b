#include "jobs/imagetopdfrun.h"

#include "core/errorlog.h"
#include "core/modgeneral.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <source_location>
#include <unistd.h>

namespace imagetopdf {

namespace {

// The file-system name decoder puts U+FFFD for every byte that is not UTF-8; such a text
// names another file (or none), never the one listed.
bool survivesRoundTrip(const QString& path) {
    return !path.contains(QChar::ReplacementCharacter);
}

// Anything at all at the path, whatever its kind: a hidden file, a dangling link, a folder.
bool somethingAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The run is the body of the dialog's "&Convert": a file it refuses itself is logged in that
// procedure's name, one line with its reason, as the engine logs the files it fails.
void logRefusal(int number, const QString& reason,
                std::source_location where = std::source_location::current()) {
    LogError(modGeneral::ComposeErrorMessage(number, reason, QStringLiteral("cmdconvert_Click"),
                                             int(where.line()),
                                             QStringLiteral(" of Form frmConImageToPdf at time")));
}

// The target as the file system resolves it, so two spellings of one folder collide.
QString targetKey(const QString& target) {
    const QFileInfo info(target);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

ImageToPdfRun::ImageToPdfRun(RunOptions options, Converter converter)
    : m_options(std::move(options)), m_converter(std::move(converter)) {
    m_besideImages = m_options.outputFolder.trimmed().isEmpty();
}

QString ImageToPdfRun::TargetFor(const QString& folder, const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    return modGeneral::ValidateDir(folder) + base + QStringLiteral(".pdf");
}

QString ImageToPdfRun::OutputFolderProblem(const QString& folder) {
    // The rights a write would be checked with, not the ones the process was started with.
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString ImageToPdfRun::FailureList() const {
    QString list;
    for (const QString& path : m_failed)
        list += path + QStringLiteral("\r\n");
    return list;
}

void ImageToPdfRun::Run(const QList<SourceFile>& files) {
    int done = 0;
    for (const SourceFile& file : files) {
        if (beforeFile) beforeFile();
        convertOne(file);
        ++done;
        if (afterFile) afterFile(done);
    }
}

void ImageToPdfRun::convertOne(const SourceFile& file) {
    // The row's own folder stays local: the output folder the user typed is never changed.
    const QString& folder = m_besideImages ? file.location : m_options.outputFolder;
    m_lastFolder = folder;
    const QString source = modGeneral::ValidateDir(file.location) + file.name;
    if (!survivesRoundTrip(source)) {
        logRefusal(52, QStringLiteral("cannot name %1: not the file's own bytes").arg(source));
        m_failed << source;
        return;
    }
    const QString target = TargetFor(folder, file.name);
    const QString key = targetKey(target);
    if (m_written.contains(key)) {
        logRefusal(58, QStringLiteral("another file of this run was written to %1").arg(target));
        m_failed << source;
        return;
    }
    // A folder in the PDF's place is no PDF of the user's to keep: the converter is asked,
    // and fails for it with its reason.
    if (!m_options.replace && somethingAt(target) && !QFileInfo(target).isDir()) {
        ++m_skipped;
        return;
    }
    if (!m_converter(source, target, m_options.compression, m_options.replace)) {
        m_failed << source;
        return;
    }
    m_written.insert(key);
    ++m_converted;
}

} // namespace imagetopdf
