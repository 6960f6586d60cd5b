#include "platform/tiffpages/tiffpages.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/filenames.h"
#include "platform/tiffpages/tiffoutput.h"
#include "platform/tiffpages/tiffpagecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <vector>

namespace tiffpages {

namespace {

constexpr int kBadArgument = 5;
constexpr int kOutOfRange = 9;
// Classic TIFF addresses 4 GiB; leave room for the directories.
constexpr uint64_t kClassicLimit = (uint64_t(1) << 32) - (uint64_t(64) << 20);

// Pages first..last (0-based, inclusive; last -1: to the end) of one file.
struct Segment {
    QString path;
    int first = 0;
    int last = -1;
};

// Opens `out` and copies the pages into it; the caller commits it.
bool fillSegments(const std::vector<Segment>& segments, TiffOutput& out, const QString& output,
                  fileio::Failure& failure, const MergeProgress& progress = {}) {
    // Every input is checked before anything is written, so a damaged file costs no work.
    std::vector<int> counts;
    int total = 0;
    uint64_t bytes = 0;
    for (const Segment& s : segments) {
        TiffInput in;
        if (!in.open(s.path, failure)) return false;
        const int last = s.last < 0 ? in.pageCount() - 1 : s.last;
        counts.push_back(last - s.first + 1);
        total += counts.back();
        bytes += in.size();
    }
    if (total <= 0) return failure.set(kBadArgument, QStringLiteral("no pages to write to %1").arg(output));

    if (!out.open(bytes > kClassicLimit, failure)) return false;
    int written = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        TiffInput in;
        if (!in.open(segments[i].path, failure)) return false;
        for (int k = 0; k < counts[i]; ++k) {
            if (!in.select(segments[i].first + k, failure) || !copyPage(in, out, written, total, failure))
                return false;
            ++written;
        }
        if (progress) progress(int(i) + 1);
    }
    return true;
}

bool writeSegments(const std::vector<Segment>& segments, const QString& output, fileio::Failure& failure,
                   const MergeProgress& progress = {}, fileio::OutputSet* outputs = nullptr) {
    TiffOutput out(output);
    return fillSegments(segments, out, output, failure, progress) && out.commit(failure, outputs);
}

QString baseName(const QString& source) {
    const QString name = QFileInfo(source).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

} // namespace

int tiffPageCount(const QString& path, fileio::Failure& failure) {
    TiffInput in;
    return in.open(path, failure) ? in.pageCount() : -1;
}

bool mergeTiffs(const QStringList& inputs, const QString& output, fileio::Failure& failure,
                const MergeProgress& progress) {
    if (inputs.isEmpty() || output.isEmpty())
        return failure.set(kBadArgument, QStringLiteral("nothing to merge into \"%1\"").arg(output));
    std::vector<Segment> segments;
    for (const QString& input : inputs)
        segments.push_back({input});
    return writeSegments(segments, output, failure, progress);
}

bool insertTiffPages(const QString& target, int at, const QString& insertFrom, fileio::Failure& failure) {
    const int pages = tiffPageCount(target, failure);
    if (pages < 0) return false;
    if (at < 0 || at > pages)
        return failure.set(kOutOfRange, QStringLiteral("%1 has %2 pages: cannot insert after page %3")
                                            .arg(target)
                                            .arg(pages)
                                            .arg(at));
    std::vector<Segment> segments;
    if (at > 0) segments.push_back({target, 0, at - 1});
    segments.push_back({insertFrom});
    if (at < pages) segments.push_back({target, at, pages - 1});
    return writeSegments(segments, target, failure);
}

bool deleteTiffPage(const QString& path, int page, fileio::Failure& failure) {
    const int pages = tiffPageCount(path, failure);
    if (pages < 0) return false;
    if (page < 1 || page > pages)
        return failure.set(kOutOfRange, QStringLiteral("%1 has no page %2").arg(path).arg(page));
    if (pages == 1) return failure.set(kBadArgument, QStringLiteral("%1: cannot delete its only page").arg(path));
    std::vector<Segment> segments;
    if (page > 1) segments.push_back({path, 0, page - 2});
    if (page < pages) segments.push_back({path, page, pages - 1});
    return writeSegments(segments, path, failure);
}

bool splitTiff(const QString& source, int page, const QString& first, const QString& second,
               fileio::Failure& failure) {
    const int pages = tiffPageCount(source, failure);
    if (pages < 0) return false;
    if (page < 1 || page >= pages)
        return failure.set(kOutOfRange,
                           QStringLiteral("%1 has %2 pages: cannot split after page %3").arg(source).arg(pages).arg(page));
    // Both halves wait out of place until both are written, so a half named like the source
    // replaces it only once every page has been read from it.
    fileio::OutputSet outputs;
    return writeSegments({{source, 0, page - 1}}, first, failure, {}, &outputs) &&
           writeSegments({{source, page, pages - 1}}, second, failure, {}, &outputs) && outputs.commit(failure);
}

bool extractTiffPages(const QString& source, int first, int last, const QString& folder, fileio::Failure& failure,
                      QStringList* written) {
    const int pages = tiffPageCount(source, failure);
    if (pages < 0) return false;
    if (first < 1 || last > pages || first > last)
        return failure.set(kOutOfRange,
                           QStringLiteral("%1 has %2 pages: no pages %3-%4").arg(source).arg(pages).arg(first).arg(last));
    if (!QDir().mkpath(folder))
        return failure.set(76, QStringLiteral("cannot create the folder %1").arg(folder));
    fileio::OutputSet outputs;
    const QString stem = QDir(folder).filePath(baseName(source) + u'_');
    for (int page = first; page <= last; ++page) {
        const QString target = stem + fileio::paddedNumber(page, pages) + QStringLiteral(".tif");
        if (!writeSegments({{source, page - 1, page - 1}}, target, failure, {}, &outputs)) return false;
    }
    if (!outputs.commit(failure)) return false;
    if (written) *written = outputs.paths();
    return true;
}

bool extractAllTiffPages(const QString& source, const QString& folder, fileio::Failure& failure,
                         QStringList* written) {
    const int pages = tiffPageCount(source, failure);
    if (pages < 0) return false;
    return extractTiffPages(source, 1, pages, folder, failure, written);
}

bool copyFileAtomically(const QString& source, const QString& target, fileio::Failure& failure) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failure.set(in.exists() ? 75 : 53,
                           QStringLiteral("cannot open %1: %2")
                               .arg(source, in.exists() ? in.errorString() : fileio::failureReason(source, ENOENT)));
    fileio::AtomicWriter out(target);
    if (!out.open()) return failure.set(out.failure());
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const qint64 n = in.read(buffer.data(), qint64(buffer.size()));
        if (n < 0) return failure.set(75, QStringLiteral("cannot read %1: %2").arg(source, in.errorString()));
        if (n == 0) break;
        if (!out.write(buffer.data(), size_t(n))) return failure.set(out.failure());
    }
    if (!out.commit()) return failure.set(out.failure());
    return true;
}

} // namespace tiffpages
