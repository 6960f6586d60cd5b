#include "jobs/clonesync.h"

#include <QElapsedTimer>
#include <QFile>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace clonejob {

BackgroundSync::BackgroundSync(SyncFunction sync) : m_sync(std::move(sync)), m_thread([this] { run(); }) {}

BackgroundSync::~BackgroundSync() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundSync::request(quint64 number, const QString& folder, const QString& file) {
    {
        std::lock_guard lock(m_mutex);
        if (m_failed) return;
        m_folders.insert(folder);
        if (!file.isEmpty()) m_files << file;
        m_requested = std::max(m_requested, number);
    }
    m_changed.notify_all();
}

quint64 BackgroundSync::durable() const {
    std::lock_guard lock(m_mutex);
    return m_durable;
}

bool BackgroundSync::wait(int* number, QString* error) {
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_failed || (!m_busy && m_durable >= m_requested); });
    --m_waiting;
    if (number) *number = m_errorNumber;
    if (error) *error = m_error;
    return !m_failed;
}

bool BackgroundSync::failed(int* number, QString* error) const {
    std::lock_guard lock(m_mutex);
    if (number) *number = m_errorNumber;
    if (error) *error = m_error;
    return m_failed;
}

int BackgroundSync::syncs() const {
    std::lock_guard lock(m_mutex);
    return m_syncs;
}

qint64 BackgroundSync::syncNanoseconds() const {
    std::lock_guard lock(m_mutex);
    return m_syncNs;
}

namespace {

// Syncs start at most this often: each one is a journal commit of the whole file system,
// which holds up every file being created meanwhile, while the disk is kept busy anyway
// by the writeback each PDF starts.
constexpr qint64 kSyncGapMs = 50;

// Has the system start writing the file's data out now, without waiting for it, so that the
// batch's sync finds little left to write.
void startWriteback(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
}

} // namespace

void BackgroundSync::run() {
    QElapsedTimer sinceSync;
    sinceSync.start();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(
            lock, [&] { return m_quit || !m_files.isEmpty() || (!m_failed && m_requested > m_durable); });
        if (!m_files.isEmpty()) {
            const QStringList files = m_files;
            m_files.clear();
            lock.unlock();
            for (const QString& f : files)
                startWriteback(f);
            lock.lock();
            // On to the sync when one is due: PDFs coming faster than this loop must not hold it off.
        }
        if (m_requested <= m_durable || m_failed) {
            if (m_quit) return; // nothing left to do
            continue;
        }
        // A wait for the sync (the end of the pass, a checkpoint) has it start at once.
        if (!m_waiting && !m_quit && sinceSync.elapsed() < kSyncGapMs) {
            m_changed.wait_for(lock, std::chrono::milliseconds(kSyncGapMs - sinceSync.elapsed()),
                               [&] { return m_quit || m_waiting || !m_files.isEmpty(); });
            continue;
        }
        sinceSync.restart();
        // Everything placed before this point is in the cache the sync writes out.
        const quint64 position = m_requested;
        const QStringList folders = m_folders.values();
        m_folders.clear();
        m_busy = true;
        lock.unlock();
        int number = 0;
        QString error;
        QElapsedTimer timer;
        timer.start();
        const bool ok = m_sync(folders, &number, &error);
        const qint64 ns = timer.nsecsElapsed();
        lock.lock();
        m_busy = false;
        ++m_syncs;
        m_syncNs += ns;
        if (ok) {
            m_durable = position;
        } else {
            m_failed = true;
            m_errorNumber = number ? number : 57;
            m_error = error;
        }
        m_changed.notify_all();
    }
}

} // namespace clonejob
