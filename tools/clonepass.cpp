#include "tools/clonepass.h"

#include "core/errortrap.h"
#include "core/filefolderscan.h"
#include "core/runtimeerror.h"
#include "platform/fileio/filesystemsync.h"
#include "tools/apimgtopdf.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace clonejob {

namespace {

// The pass's log lines carry no " at time" in their owner text.
constexpr QStringView kPassOwner = u" of Form frmCloneDirectory";

qint64 now() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.nsecsElapsed();
}

} // namespace

CloneConverter engineConverter(ApImgToPdf& engine) {
    // A PDF whose status was not saved before a power cut reads "Already Exists" on resume:
    // it must hold its bytes, not be an empty file under the right name.
    engine.SetDurableOutputs(true);
    return [&engine](const QString& image, const QString& pdf, const QString& colour, const QString& grey,
                     const QString& bw, bool replace) {
        if (engine.ConverImageToPdf(image, pdf, colour, grey, bw, replace)) return true;
        if (engine.LastErrorNumber() == 61)
            raiseError(61, QStringLiteral("no space left for %1: the job stops here and can be resumed").arg(pdf));
        return false;
    };
}

ClonePass::ClonePass(CloneJobFiles& files, ClonePassHost& host, CloneConverter convert)
    : m_files(files), m_host(host), m_convert(std::move(convert)) {}

void ClonePass::makePdfsDurable() {
    // After a failed sync a later one may answer true without the data being there.
    if (m_syncFailed) raiseError(57, QStringLiteral("the PDFs made could not be written to the disk"));
    if (m_unsyncedFolders.isEmpty()) return;
    int number = 0;
    QString error;
    if (!fileio::syncFileSystems(m_unsyncedFolders.values(), &number, &error)) {
        m_syncFailed = true;
        raiseError(number, error);
    }
    m_unsyncedFolders.clear();
}

void ClonePass::checkpoint(const CloneList& list) {
    const qint64 start = now();
    makePdfsDurable();
    m_files.writeProgress(m_result.visited, m_result.lastSource);
    m_files.saveList(list);
    m_lastSaveEnd = now();
    m_lastSaveNs = m_lastSaveEnd - start;
    m_result.saveNanoseconds += m_lastSaveNs;
    ++m_saves;
}

bool ClonePass::saveDue() const {
    if (m_saveFactor <= 0) return true;
    // A save's time varies a lot (a sync waits for whatever else the disk has queued): the
    // mean of the saves so far keeps one quick save from bringing the next one early, and
    // the saves' share of the pass so far keeps a run of slow ones from adding up.
    const qint64 t = now();
    const qint64 mean = m_saves > 0 ? m_result.saveNanoseconds / m_saves : 0;
    return double(t - m_lastSaveEnd) >= m_saveFactor * double(std::max(m_lastSaveNs, mean)) &&
           double(t - m_passStart) >= (m_saveFactor + 1) * double(m_result.saveNanoseconds);
}

namespace {

// The device and inode of a file, or nothing when there is none.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return std::make_pair(quint64(st.st_dev), quint64(st.st_ino));
}

} // namespace

bool ClonePass::isMade(const QString& target) const {
    if (m_made.contains(target)) return true;
    const auto identity = m_madeFiles.empty() ? std::nullopt : fileIdentity(target);
    return identity && m_madeFiles.count(*identity) > 0;
}

void ClonePass::noteMade(const QString& target) {
    m_made.insert(target);
    if (const auto identity = fileIdentity(target)) m_madeFiles.insert(*identity);
}

void ClonePass::visit(CloneFileEntry& e) {
    const QString source = e.source();
    m_host.appendLog(QStringLiteral("\r\n") + source + QStringLiteral("....."));
    if (e.waiting()) {
        const QString target = e.target();
        QString status;
        if (e.targetfolder != m_lastFolder && !FileFolderScan::CreatePath(e.targetfolder)) {
            status = kStatusNoFolder;
        } else {
            m_lastFolder = e.targetfolder;
            const bool replace = m_host.replaceExisting();
            if (isMade(target) || (!replace && FileFolderScan::IsExistingFile(target))) {
                status = kStatusAlreadyExists;
            } else if (m_convert(source, target, m_colour, m_grey, m_bw, replace)) {
                status = kStatusCompleted;
                noteMade(target);
                m_unsyncedFolders.insert(e.targetfolder);
                ++m_result.converted;
            } else {
                // A PDF another program put there while the image was converted is kept.
                status = !replace && FileFolderScan::IsExistingFile(target) ? kStatusAlreadyExists : kStatusError;
            }
        }
        m_host.appendLog(status);
        e.status = status;
    } else {
        m_host.appendLog(e.status);
    }
    m_result.lastSource = source;
    ++m_result.visited;
    m_host.entryVisited(m_result.visited);
}

ClonePassResult ClonePass::ProcessClone(CloneList& list) {
    m_result = {};
    m_colour = list.EncodColor;
    m_grey = list.EncodGraycale;
    m_bw = list.EncodBW;
    m_made.clear();
    m_madeFiles.clear();
    m_unsyncedFolders.clear();
    m_syncFailed = false;
    m_saves = 0;
    m_passStart = now();
    for (const CloneFileEntry& e : list.files)
        if (e.status == kStatusCompleted) noteMade(e.target());
    m_lastSaveEnd = now();
    bool dirty = false;
    const bool ok = trap(
        u"ProcessClone", kPassOwner,
        [&] {
            quietly([&] { m_host.showStoredEncodings(m_colour, m_grey, m_bw); });
            for (CloneFileEntry& e : list.files) {
                if (m_host.stopRequested()) break;
                visit(e);
                dirty = true;
                if (saveDue()) {
                    checkpoint(list);
                    dirty = false;
                }
                m_host.pump();
                if (m_host.stopRequested()) break;
            }
            m_result.complete = m_result.visited == int(list.files.size());
            makePdfsDurable();
            if (m_result.complete) {
                m_files.deleteList();
            } else if (dirty) {
                m_files.saveList(list);
            }
            dirty = false;
        },
        [&] {
            // What was done before the failure is kept for the resume.
            if (dirty)
                quietly([&] {
                    makePdfsDurable();
                    m_files.saveList(list);
                });
        });
    m_result.failed = !ok;
    if (!ok) m_result.complete = false;
    return m_result;
}

} // namespace clonejob
