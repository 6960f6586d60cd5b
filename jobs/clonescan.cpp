#include "jobs/clonescan.h"

#include "core/errortrap.h"
#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "platform/fileio/filenames.h"

#include <QFile>
#include <QFileInfo>

namespace clonejob {

namespace {

// A name as the log shows it: printable ASCII as it is, every other byte as \xNN.
QString printable(const QByteArray& bytes) {
    QString out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7f && b != '\\')
            out += QLatin1Char(ch);
        else
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

QString CloneScan::carriedName(const QString& folder, const QByteArray& native) {
    const QString name = fileio::nameFromBytes(native);
    if (name.toUtf8() == native && isXmlText(name)) return name;
    const QString shown = modGeneral::ValidateDir(folder) + printable(native);
    trap(u"ScanFolderForClone", kCloneOwner,
         [&] { raiseError(52, QStringLiteral("Bad file name or number: %1 skipped").arg(shown)); });
    if (m_leftOut)
        m_leftOut(shown, name.toUtf8() != native ? QStringLiteral("its name is not valid UTF-8")
                                                 : QStringLiteral("its name holds characters the job's list cannot hold"));
    return QString();
}

QString CleanFolderText(const QString& typed) {
    QString s = typed.trimmed();
    while (s.size() > 1 && s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s;
}

QString FolderBaseName(const QString& folder) {
    const QString name = modGeneral::GetFileName(CleanFolderText(folder));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString TargetFileName(const QString& imageName) {
    const qsizetype dot = imageName.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? imageName + QLatin1Char('.') : imageName.left(dot + 1)) + QStringLiteral("pdf");
}

bool SameFolder(const QString& a, const QString& b) {
    const QString ca = CleanFolderText(a), cb = CleanFolderText(b);
    if (ca == cb) return true;
    const QString ra = QFileInfo(ca).canonicalFilePath(), rb = QFileInfo(cb).canonicalFilePath();
    return !ra.isEmpty() && ra == rb;
}

CloneTargets CloneTargets::fromFolders(const QString& source, const QString& output) {
    CloneTargets t;
    t.source = CleanFolderText(source);
    t.output = CleanFolderText(output);
    t.besideImage = SameFolder(t.source, t.output);
    return t;
}

QString CloneTargets::targetFolder(const QString& imageFolder, const QString& relative) const {
    if (besideImage) return imageFolder;
    QString folder = output;
    const QString base = FolderBaseName(source);
    if (!base.isEmpty()) folder = modGeneral::ValidateDir(folder) + base;
    if (!relative.isEmpty()) folder = modGeneral::ValidateDir(folder) + relative;
    return folder;
}

CloneScan::CloneScan(CloneTargets targets, const QStringList& patterns)
    : m_targets(std::move(targets)), m_matcher(patterns) {}

int CloneScan::ScanFolderForClone(CloneList& out) {
    m_count = 0;
    walk(m_targets.source, QFile::encodeName(m_targets.source), QString(), true, out);
    return m_count;
}

void CloneScan::walk(const QString& folder, const QByteArray& nativeFolder, const QString& relative,
                     bool followLink, CloneList& out) {
    using filesearch::FolderEntry;
    if (stopped()) return;
    std::unique_ptr<filesearch::FolderListing> listing;
    QString reason;
    if (!trap(u"ScanFolderForClone", kCloneOwner, [&] {
            try {
                listing = m_reader->open(folder, nativeFolder, followLink);
            } catch (const RuntimeError& e) {
                reason = e.description;
                // The log line must say which folder was left out of the clone.
                throw RuntimeError(e.number,
                                   QStringLiteral("%1: %2 skipped").arg(e.description, modGeneral::ValidateDir(folder)),
                                   e.line);
            }
        })) {
        if (m_leftOut)
            m_leftOut(modGeneral::ValidateDir(folder),
                      QStringLiteral("the folder cannot be read (%1)").arg(reason));
        return;
    }

    QString targetFolder; // the same for every image of this folder; made on first use
    std::vector<QByteArray> subfolders;
    filesearch::FindData data;
    for (const FolderEntry& entry : listing->entries()) {
        const FolderEntry::Kind kind = listing->kindOf(entry);
        if (kind == FolderEntry::Folder) {
            subfolders.push_back(entry.name);
            continue;
        }
        if (kind != FolderEntry::File && kind != FolderEntry::Link) continue; // devices, pipes, sockets
        if (stopped()) return;
        if (m_matcher.matches(fileio::nameFromBytes(entry.name))) {
            const QString name = carriedName(folder, entry.name);
            // A link counts when it leads to a file.
            if (!name.isNull() && (kind == FolderEntry::File || listing->findData(entry, data))) {
                if (targetFolder.isNull()) targetFolder = m_targets.targetFolder(folder, relative);
                AddCloneFileEntry(out, name, folder, TargetFileName(name), targetFolder);
                ++m_count;
            }
        }
        if (m_pump) m_pump();
    }
    // Let the descriptor go before going down, so a deep tree never runs out of them.
    listing.reset();

    const QString prefix = modGeneral::ValidateDir(folder);
    QByteArray nativePrefix = nativeFolder;
    if (!nativePrefix.endsWith('/')) nativePrefix.append('/');
    for (const QByteArray& sub : subfolders) {
        if (stopped()) return;
        const QString name = carriedName(folder, sub);
        if (name.isNull()) continue;
        walk(prefix + name, nativePrefix + sub, relative.isEmpty() ? name : relative + QLatin1Char('/') + name,
             false, out);
        if (m_pump) m_pump();
    }
}

} // namespace clonejob
