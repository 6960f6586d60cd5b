// The job's journal: what its reader trusts of a damaged file, which statuses a resume takes
// on the same boot and after a restart, and what the resume does with the PDFs a power cut
// may have left incomplete.
#include "tests/clone/clonefixtures.h"

#include "jobs/clonejournal.h"
#include "jobs/clonepass.h"

using namespace clonejob;
using namespace clonetest;

namespace {

const QByteArray kThisBoot = "this boot";
const QByteArray kOtherBoot = "another boot";

CloneList fourEntries(const QString& out) {
    CloneList list;
    for (const char* n : {"a", "b", "c", "d"})
        list.files.push_back({QString(n) + ".jpg", "/src", QString(n) + ".pdf", out, ""});
    return list;
}

QByteArray journal(const CloneList& list, const QByteArray& boot, const std::vector<JournalRecord>& records) {
    const JournalHeader h = journalHeaderFor(cloneListXml(list), quint32(list.files.size()), boot);
    QByteArray out = journalHeaderBytes(h);
    for (const JournalRecord& r : records)
        out += journalRecordBytes(h, r);
    return out;
}

// A claim of every entry, "a" on the disk (vouched for), "b" made since the last sync,
// "c" an error, "d" written durably on its own.
const std::vector<JournalRecord> kPass = {
    JournalRecord::claim(0, 3),
    JournalRecord::status(0, kStatusCompleted),
    JournalRecord::durable(2),
    JournalRecord::status(1, kStatusCompleted),
    JournalRecord::status(2, kStatusError),
    JournalRecord::status(3, kStatusCompleted, true),
};

QStringList statusesOf(const CloneList& list) {
    QStringList out;
    for (const auto& e : list.files)
        out << e.status;
    return out;
}

} // namespace

TEST(CloneJournal, TheReaderKeepsTheSoundRecordsBeforeAnyDamage) {
    const CloneList list = fourEntries("/out");
    const QByteArray whole = journal(list, kThisBoot, kPass);
    ASSERT_EQ(parseJournal(whole)->records, kPass);

    const auto recordsOf = [](const QByteArray& bytes) {
        const auto j = parseJournal(bytes);
        return j ? int(j->records.size()) : -1;
    };
    QByteArray flipped = whole;
    flipped[kJournalHeaderSize + kJournalRecordSize + 5] ^= 0x10;
    QByteArray badHeader = whole;
    badHeader[20] ^= 1;
    const CloneList other = fourEntries("/elsewhere");
    const struct {
        const char* what;
        QByteArray bytes;
        int records;
    } cases[] = {
        {"a record torn by a kill", whole.chopped(5), 5},
        {"zeros of the room reserved ahead", whole + QByteArray(4096, '\0'), 6},
        {"garbage after the records", whole + QByteArray(48, '\x5a'), 6},
        {"a damaged record in the middle", flipped, 1},
        {"an entry past the list", whole + journalRecordBytes(parseJournal(whole)->header,
                                                              JournalRecord::status(4, kStatusCompleted)),
         6},
        {"a durable mark ahead of itself", whole + journalRecordBytes(parseJournal(whole)->header,
                                                                      JournalRecord::durable(99)),
         6},
        {"records of another journal", journal(list, kThisBoot, {}) + journal(other, kThisBoot, kPass).mid(64), 0},
        {"a damaged header", badHeader, -1},
        {"too short for a header", whole.left(63), -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recordsOf(c.bytes), c.records) << c.what;
}

TEST(CloneJournal, AfterARestartOnlyWhatASyncVouchedForCounts) {
    const CloneList stored = fourEntries("/out");
    // The same boot: the system's cache kept every record and every PDF they name.
    CloneList list = stored;
    JournalReplay r = replayJournal(list, *parseJournal(journal(stored, kThisBoot, kPass)), kThisBoot);
    EXPECT_EQ(statusesOf(list), QStringList({"Completed", "Completed", "Error", "Completed"}));
    EXPECT_TRUE(r.owned.empty());
    EXPECT_EQ(r.unvouchedFolders, QStringList({"/out"})) << "b's PDF is still to be synced";

    // Another boot: "b" may never have reached the disk, and its target is the job's to redo.
    list = stored;
    r = replayJournal(list, *parseJournal(journal(stored, kOtherBoot, kPass)), kThisBoot);
    EXPECT_EQ(statusesOf(list), QStringList({"Completed", "", "Error", "Completed"}));
    EXPECT_EQ(r.owned, std::vector<quint32>({1}));
    EXPECT_TRUE(r.unvouchedFolders.isEmpty());

    // A boot that cannot be told is another boot.
    list = stored;
    replayJournal(list, *parseJournal(journal(stored, "", kPass)), "");
    EXPECT_EQ(list.files[1].status, "");

    // A journal of another list changes nothing.
    CloneList longer = stored;
    longer.files.push_back({"e.jpg", "/src", "e.pdf", "/out", ""});
    replayJournal(longer, *parseJournal(journal(stored, kThisBoot, kPass)), kThisBoot);
    EXPECT_EQ(statusesOf(longer), QStringList({"", "", "", "", ""}));
}

TEST(CloneJournal, AfterAPowerCutTheResumeWritesOverWhatTheJobLeftAndNothingElse) {
    CloneEnvironment env;
    const QString out = env.root + "/out";
    CloneList list = fourEntries(out);
    CloneJobFiles files(env.cloneFolder());
    files.saveList(list);
    // The journal a power cut left: "a" vouched for, "b" not, "c" claimed but no status,
    // "d" not claimed: its target was the user's when the claim was made.
    ASSERT_TRUE(writeFile(files.journalPath(), journal(list, kOtherBoot,
                                                        {JournalRecord::claim(0, 3),
                                                         JournalRecord::status(0, kStatusCompleted),
                                                         JournalRecord::durable(2),
                                                         JournalRecord::status(1, kStatusCompleted)})));
    makeFile(out + "/a.pdf", "a, made and synced");
    makeFile(out + "/b.pdf", ""); // its data never reached the disk
    makeFile(out + "/c.pdf", "%PDF-1.4 cut sh");
    makeFile(out + "/d.pdf", "the user's own");

    struct Host : ClonePassHost {
        bool stopRequested() override { return false; }
        bool replaceExisting() override { return false; }
        void appendLog(const QString&) override {}
        void entryVisited(int) override {}
        void showStoredEncodings(const QString&, const QString&, const QString&) override {}
        void pump() override {}
    } host;
    QStringList converted;
    ClonePass pass(files, host,
                   [&](const QString& image, const QString& pdf, auto&&, auto&&, auto&&, bool replace, bool) {
                       converted << image.mid(image.lastIndexOf('/') + 1);
                       // The engine never replaces a file without `replace`.
                       return (replace || !QFile::exists(pdf)) && writeFile(pdf, "new " + pdf.toUtf8());
                   });
    std::optional<CloneList> resumed = files.openList();
    ASSERT_TRUE(resumed);
    const ClonePassResult r = pass.ProcessClone(*resumed);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(converted, QStringList({"b.jpg", "c.jpg"}));
    EXPECT_EQ(statusesOf(*resumed), QStringList({"Completed", "Completed", "Completed", "Already Exists"}));
    EXPECT_EQ(readAll(out + "/a.pdf"), "a, made and synced");
    EXPECT_EQ(readAll(out + "/c.pdf"), "new " + (out + "/c.pdf").toUtf8());
    EXPECT_EQ(readAll(out + "/d.pdf"), "the user's own");
}
