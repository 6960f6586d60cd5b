// The clone job's files: any input read as the list (XML) and as the list's journal. A list
// it accepts must be written and read back to the same list; a journal's sound records must
// read back the same, and replaying them must leave only the job's status texts.

#include "jobs/clonejournal.h"
#include "jobs/clonelist.h"

#include <cstdlib>

namespace {

void list(QByteArrayView input) {
    const auto list = clonejob::parseCloneList(input);
    if (!list) return;
    const QByteArray written = clonejob::cloneListXml(*list);
    const auto again = clonejob::parseCloneList(written);
    if (!again || again->files.size() != list->files.size() || clonejob::cloneListXml(*again) != written)
        std::abort();
}

void journal(QByteArrayView input) {
    using namespace clonejob;
    const auto journal = parseJournal(input);
    if (!journal) return;
    QByteArray written = journalHeaderBytes(journal->header);
    for (const JournalRecord& r : journal->records)
        written += journalRecordBytes(journal->header, r);
    const auto again = parseJournal(written);
    if (!again || again->records != journal->records) std::abort();

    // Replayed over a list of the size the header names (when that is small enough to make).
    if (journal->header.entries > 4096) return;
    CloneList list;
    for (quint32 i = 0; i < journal->header.entries; ++i)
        list.files.push_back({QStringLiteral("%1.jpg").arg(i), QStringLiteral("/in"), QStringLiteral("%1.pdf").arg(i),
                              QStringLiteral("/out/%1").arg(i % 3), i % 5 == 0 ? kStatusCompleted : QString()});
    for (const QByteArray& boot : {journal->header.bootId, QByteArray("elsewhere")}) {
        CloneList replayed = list;
        const JournalReplay r = replayJournal(replayed, *journal, boot);
        for (size_t i = 0; i < list.files.size(); ++i) {
            const QString& status = replayed.files[i].status;
            if (!list.files[i].waiting() && status != list.files[i].status) std::abort();
            if (!status.isEmpty() && statusCode(status) == 0) std::abort();
        }
        quint32 previous = 0;
        for (size_t k = 0; k < r.owned.size(); ++k) {
            if (r.owned[k] >= list.files.size() || !replayed.files[r.owned[k]].waiting()) std::abort();
            if (k > 0 && r.owned[k] <= previous) std::abort();
            previous = r.owned[k];
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(data, qsizetype(size));
    list(input);
    journal(input);
    return 0;
}
