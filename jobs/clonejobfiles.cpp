#include "jobs/clonejobfiles.h"

#include "core/failurenumbers.h"
#include "core/filefolderscan.h"
#include "core/runtimeerror.h"
#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/filesystemsync.h"
#include "platform/profile/privateprofile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <limits>

namespace clonejob {

namespace {

const QString kSection = QStringLiteral("CLONE");

// A list or journal past this is not ours.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

std::optional<QByteArray> readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxFileBytes) return std::nullopt;
    // What the file holds, not the cap: QIODevice::read() sets aside all it is asked for.
    QByteArray bytes = f.read(f.size());
    if (f.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

CloneJobFiles::SaveHook& saveHook() {
    static CloneJobFiles::SaveHook hook;
    return hook;
}

// Adds the time of a whole write, the making of its content included, to the stats.
class Timed {
public:
    explicit Timed(CloneJobFiles::Stats& stats) : m_stats(stats) { m_timer.start(); }
    ~Timed() { m_stats.nanoseconds += m_timer.nsecsElapsed(); }

private:
    CloneJobFiles::Stats& m_stats;
    QElapsedTimer m_timer;
};

} // namespace

std::optional<int> ParseFileCount(const QString& text) {
    if (text.isEmpty() || text.size() > 10) return std::nullopt;
    qint64 n = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        n = n * 10 + (c.unicode() - u'0');
    }
    if (n > std::numeric_limits<int>::max()) return std::nullopt;
    return int(n);
}

CloneJobFiles::CloneJobFiles(QString cloneFolder) : m_folder(std::move(cloneFolder)) {}

QString CloneJobFiles::iniPath() const { return m_folder + QStringLiteral("/Clone.ini"); }

QString CloneJobFiles::xmlPath() const { return m_folder + QStringLiteral("/clone.xml"); }

QString CloneJobFiles::journalPath() const { return m_folder + QStringLiteral("/clone.journal"); }

CloneJobFiles::SaveHook CloneJobFiles::setSaveHook(SaveHook hook) {
    SaveHook previous = std::move(saveHook());
    saveHook() = std::move(hook);
    return previous;
}

void CloneJobFiles::commit(const QString& path, const QByteArray& bytes, SavedFile file, bool sync) {
    fileio::AtomicWriter writer(path);
    // The job's state is what lets hours of work resume after a power cut.
    writer.setSync(sync);
    bool ok = writer.open() && writer.write(bytes);
    if (ok && saveHook()) saveHook()(file);
    ok = ok && writer.commit();
    if (!ok) failurenumbers::raise(writer.failure());
    if (file == SavedFile::List) ++m_stats.listSaves;
    if (file == SavedFile::Record) ++m_stats.recordWrites;
    m_stats.bytesWritten += bytes.size();
    if (!sync) m_unsynced = true;
}

JobRecord CloneJobFiles::readRecord() {
    QDir().mkpath(m_folder);
    if (!FileFolderScan::IsExistingFile(iniPath())) commit(iniPath(), QByteArray(), SavedFile::Record, true);
    const profile::PrivateProfile ini = profile::PrivateProfile::fromFile(iniPath());
    const auto read = [&](const char* key, const QString& defaultValue = QString()) {
        return ini.value(kSection, QString::fromLatin1(key)).value_or(defaultValue);
    };
    JobRecord r;
    r.CLONE_PATH = read("CLONE_PATH");
    r.TIME_START = read("TIME_START");
    r.TOTAL_FILE = read("TOTAL_FILE");
    r.FILE_COMPLETED = read("FILE_COMPLETED");
    r.LAST_FILEPATH = read("LAST_FILEPATH");
    r.STATUS = read("STATUS");
    r.OUTPUT_PATH = read("OUTPUT_PATH");
    r.REPLACE_EXISTING = read("REPLACE_EXISTING", QStringLiteral("0"));
    return r;
}

void CloneJobFiles::writeRecordKeys(const QList<std::pair<QString, QString>>& values, Sync sync) {
    const Timed timed(m_stats);
    QDir().mkpath(m_folder);
    profile::PrivateProfile ini = profile::PrivateProfile::fromFile(iniPath());
    for (const auto& [key, value] : values)
        ini.setValue(kSection, key, value);
    commit(iniPath(), ini.toBytes(), SavedFile::Record, sync == Sync::Now);
}

void CloneJobFiles::writeStartRecord(const JobRecord& r, Sync sync) {
    writeRecordKeys({{QStringLiteral("CLONE_PATH"), r.CLONE_PATH},
                     {QStringLiteral("OUTPUT_PATH"), r.OUTPUT_PATH},
                     {QStringLiteral("TIME_START"), r.TIME_START},
                     {QStringLiteral("TOTAL_FILE"), r.TOTAL_FILE},
                     {QStringLiteral("FILE_COMPLETED"), r.FILE_COMPLETED},
                     {QStringLiteral("LAST_FILEPATH"), r.LAST_FILEPATH},
                     {QStringLiteral("STATUS"), r.STATUS},
                     {QStringLiteral("REPLACE_EXISTING"), r.REPLACE_EXISTING}},
                    sync);
}

void CloneJobFiles::writeProgress(int filesCompleted, const QString& lastFilePath, Sync sync) {
    writeRecordKeys({{QStringLiteral("FILE_COMPLETED"), QString::number(filesCompleted)},
                     {QStringLiteral("LAST_FILEPATH"), lastFilePath}},
                    sync);
}

void CloneJobFiles::writeProgress(int filesCompleted, const QString& lastFilePath, const QString& status,
                                  Sync sync) {
    writeRecordKeys({{QStringLiteral("FILE_COMPLETED"), QString::number(filesCompleted)},
                     {QStringLiteral("LAST_FILEPATH"), lastFilePath},
                     {QStringLiteral("STATUS"), status}},
                    sync);
}

bool CloneJobFiles::listExists() const { return FileFolderScan::IsExistingFile(xmlPath()); }

std::optional<CloneList> CloneJobFiles::readList(QByteArray* listBytes,
                                                 std::optional<ParsedJournal>* journal) const {
    const std::optional<QByteArray> bytes = readFile(xmlPath());
    if (!bytes) return std::nullopt;
    std::optional<CloneList> list = parseCloneList(*bytes);
    if (!list) return std::nullopt;
    if (const std::optional<QByteArray> j = readFile(journalPath())) {
        std::optional<ParsedJournal> parsed = parseJournal(*j);
        // A journal left by another list (an older job, a checkpoint cut short) is not this one's.
        if (parsed && sameList(parsed->header, journalHeaderFor(*bytes, quint32(list->files.size()), {})))
            *journal = std::move(parsed);
    }
    *listBytes = *bytes;
    return list;
}

std::optional<CloneList> CloneJobFiles::loadList() const {
    QByteArray bytes;
    std::optional<ParsedJournal> journal;
    std::optional<CloneList> list = readList(&bytes, &journal);
    if (list && journal) replayJournal(*list, *journal, currentBootId());
    return list;
}

std::optional<CloneList> CloneJobFiles::openList() {
    const Timed timed(m_stats);
    m_journal.close();
    m_replay = {};
    QByteArray bytes;
    std::optional<ParsedJournal> journal;
    std::optional<CloneList> list = readList(&bytes, &journal);
    if (!list) return std::nullopt;
    const std::vector<CloneFileEntry> stored = list->files;
    if (journal) m_replay = replayJournal(*list, *journal, currentBootId());
    // The PDFs of statuses trusted on this boot reach the disk before a journal that vouches
    // for them does.
    if (!m_replay.unvouchedFolders.isEmpty()) {
        int number = 0;
        QString error;
        if (!fileio::syncFileSystems(m_replay.unvouchedFolders, &number, &error)) raiseError(number, error);
        ++m_stats.syncs;
    }
    // The new journal starts with what the old one held for the resume: the statuses, all on
    // the disk now, and the claims of entries still waiting.
    std::vector<JournalRecord> records;
    for (size_t i = 0; i < list->files.size(); ++i)
        if (stored[i].waiting() && !list->files[i].waiting())
            records.push_back(JournalRecord::status(quint32(i), list->files[i].status));
    records.push_back(JournalRecord::durable(quint32(records.size())));
    for (size_t k = 0; k < m_replay.owned.size();) {
        size_t end = k + 1;
        while (end < m_replay.owned.size() && m_replay.owned[end] == m_replay.owned[end - 1] + 1)
            ++end;
        records.push_back(JournalRecord::claim(m_replay.owned[k], quint32(end - k)));
        k = end;
    }
    startJournal(bytes, quint32(list->files.size()), records, true);
    return list;
}

void CloneJobFiles::startJournal(QByteArrayView listBytes, quint32 entries,
                                 const std::vector<JournalRecord>& records, bool sync) {
    m_journal.close();
    const JournalHeader header = journalHeaderFor(listBytes, entries, currentBootId());
    QByteArray bytes = journalHeaderBytes(header);
    for (const JournalRecord& r : records)
        bytes += journalRecordBytes(header, r);
    commit(journalPath(), bytes, SavedFile::Journal, sync);
    m_journal.open(journalPath(), header, bytes.size());
}

void CloneJobFiles::saveList(const CloneList& list, Sync sync) {
    const Timed timed(m_stats);
    QDir().mkpath(m_folder);
    m_journal.close();
    m_replay = {};
    const QByteArray bytes = cloneListXml(list);
    commit(xmlPath(), bytes, SavedFile::List, sync == Sync::Now);
    startJournal(bytes, quint32(list.files.size()), {}, sync == Sync::Now);
}

void CloneJobFiles::deleteList() {
    m_journal.close();
    FileFolderScan::DeleteExistingFile(xmlPath());
    FileFolderScan::DeleteExistingFile(journalPath());
}

void CloneJobFiles::appendRecord(const JournalRecord& record) {
    const Timed timed(m_stats);
    m_journal.append(record);
    ++m_stats.journalRecords;
}

void CloneJobFiles::syncJournal() {
    const Timed timed(m_stats);
    m_journal.sync();
    ++m_stats.syncs;
}

bool CloneJobFiles::makeDurable() {
    if (!m_unsynced) return false;
    const Timed timed(m_stats);
    int number = 0;
    QString error;
    if (!fileio::syncFileSystems({m_folder}, &number, &error)) raiseError(number, error);
    ++m_stats.syncs;
    m_unsynced = false;
    return true;
}

bool CloneJobFiles::isResumable(const JobRecord& record) const {
    return record.STATUS == kStatusNotFinished && listExists();
}

} // namespace clonejob
