#include "tools/clonejobfiles.h"

#include "core/filefolderscan.h"
#include "core/runtimeerror.h"
#include "platform/fileio/atomicwriter.h"
#include "platform/profile/privateprofile.h"

#include <QDir>
#include <QElapsedTimer>

#include <limits>

namespace clonejob {

namespace {

const QString kSection = QStringLiteral("CLONE");

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

CloneJobFiles::SaveHook CloneJobFiles::setSaveHook(SaveHook hook) {
    SaveHook previous = std::move(saveHook());
    saveHook() = std::move(hook);
    return previous;
}

void CloneJobFiles::commit(const QString& path, const QByteArray& bytes, bool list) {
    fileio::AtomicWriter writer(path);
    // The job's state is what lets hours of work resume after a power cut.
    writer.setSync(true);
    bool ok = writer.open() && writer.write(bytes);
    if (ok && saveHook()) saveHook()(list);
    ok = ok && writer.commit();
    if (!ok) raiseError(writer.errorNumber(), writer.errorString());
    ++(list ? m_stats.listSaves : m_stats.recordWrites);
    m_stats.bytesWritten += bytes.size();
}

JobRecord CloneJobFiles::readRecord() {
    QDir().mkpath(m_folder);
    if (!FileFolderScan::IsExistingFile(iniPath())) commit(iniPath(), QByteArray(), false);
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

void CloneJobFiles::writeRecordKeys(const QList<std::pair<QString, QString>>& values) {
    const Timed timed(m_stats);
    QDir().mkpath(m_folder);
    profile::PrivateProfile ini = profile::PrivateProfile::fromFile(iniPath());
    for (const auto& [key, value] : values)
        ini.setValue(kSection, key, value);
    commit(iniPath(), ini.toBytes(), false);
}

void CloneJobFiles::writeStartRecord(const JobRecord& r) {
    writeRecordKeys({{QStringLiteral("CLONE_PATH"), r.CLONE_PATH},
                     {QStringLiteral("OUTPUT_PATH"), r.OUTPUT_PATH},
                     {QStringLiteral("TIME_START"), r.TIME_START},
                     {QStringLiteral("TOTAL_FILE"), r.TOTAL_FILE},
                     {QStringLiteral("FILE_COMPLETED"), r.FILE_COMPLETED},
                     {QStringLiteral("LAST_FILEPATH"), r.LAST_FILEPATH},
                     {QStringLiteral("STATUS"), r.STATUS},
                     {QStringLiteral("REPLACE_EXISTING"), r.REPLACE_EXISTING}});
}

void CloneJobFiles::writeProgress(int filesCompleted, const QString& lastFilePath) {
    writeRecordKeys({{QStringLiteral("FILE_COMPLETED"), QString::number(filesCompleted)},
                     {QStringLiteral("LAST_FILEPATH"), lastFilePath}});
}

void CloneJobFiles::writeProgress(int filesCompleted, const QString& lastFilePath, const QString& status) {
    writeRecordKeys({{QStringLiteral("FILE_COMPLETED"), QString::number(filesCompleted)},
                     {QStringLiteral("LAST_FILEPATH"), lastFilePath},
                     {QStringLiteral("STATUS"), status}});
}

bool CloneJobFiles::listExists() const { return FileFolderScan::IsExistingFile(xmlPath()); }

std::optional<CloneList> CloneJobFiles::loadList() const { return loadCloneList(xmlPath()); }

void CloneJobFiles::saveList(const CloneList& list) {
    const Timed timed(m_stats);
    QDir().mkpath(m_folder);
    commit(xmlPath(), cloneListXml(list), true);
}

void CloneJobFiles::deleteList() { FileFolderScan::DeleteExistingFile(xmlPath()); }

bool CloneJobFiles::isResumable(const JobRecord& record) const {
    return record.STATUS == kStatusNotFinished && listExists();
}

} // namespace clonejob
