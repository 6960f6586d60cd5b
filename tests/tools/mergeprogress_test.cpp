// The merge's progress estimate: each phase gets the share of the bar its work takes.
#include "pageops/mergeprogress.h"

#include <gtest/gtest.h>

TEST(MergeProgress, EachPhaseMovesTheBarByTheShareOfTheWorkItDoes) {
    constexpr qint64 MB = 1000 * 1000;
    struct Case {
        const char* what;
        QList<qint64> sizes;
        double readSeconds; // each
        QList<int> afterReads, atWriteHalf;
    } cases[] = {
        // 10 x 40 MB to copy (1 s at the nominal pace) against reads of 1 ms: the write is the work.
        {"pages that pass through", QList<qint64>(10, 40 * MB), 0.001, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {5}},
        // Re-encoded pages: 1 s of reading each against 1 ms of copying.
        {"pages encoded anew", QList<qint64>(10, 400 * 1000), 1.0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {9}},
        // Half and half.
        {"as much reading as writing", QList<qint64>(4, 100 * MB), 0.25, {0, 1, 1, 2}, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QList<int> shown;
        MergeProgress progress(c.sizes, [&](int v) { shown << v; });
        QList<int> afterReads;
        for (qsizetype i = 0; i < c.sizes.size(); ++i) {
            progress.FileRead(c.readSeconds);
            afterReads << progress.Value();
        }
        EXPECT_EQ(afterReads, c.afterReads);
        progress.Written(50);
        EXPECT_EQ(QList<int>{progress.Value()}, c.atWriteHalf);
        progress.Written(100);
        const int files = int(c.sizes.size());
        EXPECT_EQ(progress.Value(), files - 1); // the last step waits for the file in place
        progress.Finished();
        EXPECT_EQ(progress.Value(), files);
        // Shown once per new value, never going back.
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
        EXPECT_EQ(std::adjacent_find(shown.begin(), shown.end()), shown.end());
        EXPECT_EQ(shown.last(), files);
    }
}

TEST(MergeProgress, AReadThatSlowsDownNeverTakesTheBarBack) {
    QList<int> shown;
    MergeProgress progress(QList<qint64>(4, 0), [&](int v) { shown << v; });
    progress.FileRead(0);    // nothing to weigh: one file's share
    progress.FileRead(0);
    progress.FileRead(10.0); // the estimate of the rest drops
    progress.FileRead(0);
    EXPECT_EQ(shown, QList<int>({1, 2, 3}));
    progress.Written(0);
    progress.Finished();
    EXPECT_EQ(shown, QList<int>({1, 2, 3, 4}));
}
