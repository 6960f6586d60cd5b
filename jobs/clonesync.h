#pragma once

// Makes the clone pass's PDFs durable in batches, on a thread of its own, while the pass
// goes on converting: each PDF's data starts for the disk as soon as it is placed, and a
// batch costs one sync of each file system it touched instead of a file and a folder sync
// per PDF.
//
// The pass numbers the PDFs it places without a sync, 1, 2, 3...: a request for number n
// covers every PDF up to n. durable() answers how far the syncs that ended so far reach;
// the pass records that in its journal.

#include <QSet>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace clonejob {

class BackgroundSync {
public:
    // Syncs what the folders hold; false with a classic error number and a text.
    using SyncFunction = std::function<bool(const QStringList& folders, int* number, QString* error)>;

    explicit BackgroundSync(SyncFunction sync);
    ~BackgroundSync(); // waits for the sync under way
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    // PDF number `number` (`file`, when given) was placed in `folder`.
    void request(quint64 number, const QString& folder, const QString& file = QString());
    // How far the finished syncs reach; 0 before the first.
    quint64 durable() const;
    // Waits until every request so far is durable. False when a sync failed: after that no
    // later one is trusted, so every request since the last good sync stays unvouched.
    bool wait(int* number = nullptr, QString* error = nullptr);
    // True once a sync failed.
    bool failed(int* number = nullptr, QString* error = nullptr) const;

    // Syncs so far, and the time they took (on the sync thread).
    int syncs() const;
    qint64 syncNanoseconds() const;

private:
    void run();

    SyncFunction m_sync;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QSet<QString> m_folders; // asked for since the last sync began
    QStringList m_files;
    quint64 m_requested = 0;
    quint64 m_durable = 0;
    bool m_busy = false;
    bool m_failed = false;
    int m_errorNumber = 0;
    QString m_error;
    int m_syncs = 0;
    qint64 m_syncNs = 0;
    bool m_quit = false;
    int m_waiting = 0;
    std::thread m_thread; // last: starts once the rest is set up
};

} // namespace clonejob
