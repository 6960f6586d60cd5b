#pragma once

// The files one call writes, put in place together so that a call writing several files
// leaves all of them or none.

#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/failure.h"
#include "platform/fileio/pendingfile.h"
#include "platform/fileio/stagingfolder.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace fileio {

// The outputs of one call, held complete but out of place until all of them are written,
// then put in place together: a call that fails, or is killed, before commit() changes no
// target, and one killed during commit() is taken back by the next writer into the folder.
//
// Pending files keep their descriptors (unnamed files vanish with a kill) while the process
// has descriptors to spare, the soft limit raised toward the hard one when needed; past that,
// and where the file system has no unnamed files, they wait closed in the call's staging
// folder beside their targets (StagingFolder), which the next writer into the folder removes
// should a kill leave it. Nothing of an output stays in memory.
class OutputSet {
public:
    OutputSet();
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Finishes the writer's file and holds it for commit(); a file already pending for the
    // same target is dropped, the later one wins. False with the writer's failure.
    bool stage(AtomicWriter& file, Failure& failure);
    // Puts every pending file in place, all or none (see outputset.cpp for what remains
    // where that cannot be kept); false with the failure and every target as it was.
    bool commit(Failure& failure);
    // Drops every pending file: no target changes.
    void discard();
    // The targets staged, in order.
    const QStringList& paths() const { return m_paths; }

    // Test seam: called after each file commit() puts in place, with the count so far (a
    // test kills the process there).
    static void setPlacedHook(void (*hook)(int placed));

private:
    StagingFolder* stagingFor(const QByteArray& folder, int& err);

    std::vector<PendingFile> m_files;
    QHash<QString, size_t> m_index; // absolute target -> m_files
    QStringList m_paths;
    std::vector<std::unique_ptr<StagingFolder>> m_staging; // one per folder, made when needed
    QHash<QByteArray, size_t> m_stagingIndex;             // folder -> m_staging
    quint64 m_sweepEpoch;
};

// Puts `file` in place now, or with `outputs` holds it there until outputs->commit().
bool commitOrStage(AtomicWriter& file, OutputSet* outputs, Failure& failure);

// `number` zero-padded to the digits of `count` (7 of 120 -> "007"): names of numbered outputs.
inline QString paddedNumber(int number, int count) {
    const int digits = int(QString::number(count < 1 ? 1 : count).size());
    return QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0'));
}

} // namespace fileio
