#include "core/runtimeerror.h"
#include "search/filerow.h"
#include "search/searchcriteria.h"
#include "tests/support/errorof.h"
#include "tests/support/testdir.h"

#include "tests/search/searchfixtures.h"

#include <gtest/gtest.h>

using namespace filesearch;

namespace {

FileTime at(QDate day, QTime time = QTime(12, 0)) {
    return FileTime{QDateTime(day, time).toSecsSinceEpoch(), 0};
}

FindData fileOn(QDate created, QDate modified, QDate accessed, int64_t size = 100) {
    FindData f;
    f.name = "a.tif";
    f.size = size;
    f.created = at(created);
    f.modified = at(modified);
    f.accessed = at(accessed);
    return f;
}

SearchCriteria byDate(const QString& kind) {
    SearchCriteria c;
    c.useAdvanced = true;
    c.byDate = true;
    c.dateKind = kind;
    return c;
}

SearchCriteria inTheLast(const QString& n, const QString& unit, QDate today,
                         const QString& kind = kDateKinds[1]) {
    SearchCriteria c = byDate(kind);
    c.dateRange = SearchCriteria::DateRange::InTheLast;
    c.periodText = n;
    c.periodUnit = unit;
    c.today = today;
    return c;
}

SearchCriteria sizeAt(const QString& leastMost, const QString& kb) {
    SearchCriteria c;
    c.useAdvanced = true;
    c.bySize = true;
    c.sizeRange = SearchCriteria::SizeRange::At;
    c.leastMost = leastMost;
    c.sizeText = kb;
    return c;
}

SearchCriteria sizeBetween(const QString& from, const QString& to) {
    SearchCriteria c = sizeAt(kLeastMost[0], "0");
    c.sizeRange = SearchCriteria::SizeRange::Between;
    c.sizeFromText = from;
    c.sizeToText = to;
    return c;
}

} // namespace

TEST(SearchCriteria, InTheLastCountsCalendarDaysAndMonthsBackFromToday) {
    const QDate mar31(2026, 3, 31);
    struct Case {
        QString n, unit;
        QDate today, fileDay;
        bool pass;
    };
    const Case cases[] = {
        {"0", "Day(s)", mar31, mar31, true}, // only today
        {"0", "Day(s)", mar31, QDate(2026, 3, 30), false},
        {"-3", "Day(s)", mar31, QDate(2026, 3, 30), false},
        {"1", "Day(s)", mar31, QDate(2026, 3, 30), true},
        {"1", "Day(s)", mar31, QDate(2026, 3, 29), false},
        {"1", "Day(s)", mar31, QDate(2026, 4, 1), false},   // after today
        {"1", "Month(s)", mar31, QDate(2026, 2, 28), true}, // the month's last day
        {"1", "Month(s)", mar31, QDate(2026, 2, 27), false},
        {"1", "Month(s)", QDate(2024, 3, 31), QDate(2024, 2, 29), true},
        {"1", "Month(s)", QDate(2024, 3, 31), QDate(2024, 2, 28), false},
        {"12", "Month(s)", mar31, QDate(2025, 3, 31), true},
        {"2", "weeks", mar31, QDate(2026, 1, 31), true},    // any other unit counts months
        {"1.5", "Day(s)", mar31, QDate(2026, 3, 29), true}, // read as a whole number: 2
    };
    for (const Case& c : cases) {
        const FindData f = fileOn(QDate(2000, 1, 1), c.fileDay, QDate(2000, 1, 1));
        EXPECT_EQ(FileMatchesAdvancedOptions(inTheLast(c.n, c.unit, c.today), f), c.pass)
            << c.n.toStdString() << " " << c.unit.toStdString() << " " << c.fileDay.toString().toStdString();
    }
}

TEST(SearchCriteria, BetweenIsInclusiveAndFromAfterToPassesNothing) {
    SearchCriteria c = byDate(kDateKinds[1]);
    c.dateFrom = QDate(2026, 1, 10);
    c.dateTo = QDate(2026, 1, 20);
    for (auto [day, pass] : {std::pair{QDate(2026, 1, 9), false},
                             {QDate(2026, 1, 10), true},
                             {QDate(2026, 1, 20), true},
                             {QDate(2026, 1, 21), false}}) {
        FindData f = fileOn(QDate(2000, 1, 1), day, QDate(2000, 1, 1));
        f.modified = at(day, QTime(23, 59, 59)); // the time of day plays no part
        EXPECT_EQ(FileMatchesAdvancedOptions(c, f), pass) << day.toString().toStdString();
    }
    std::swap(c.dateFrom, c.dateTo);
    EXPECT_FALSE(
        FileMatchesAdvancedOptions(c, fileOn(QDate(2026, 1, 15), QDate(2026, 1, 15), QDate(2026, 1, 15))));
}

TEST(SearchCriteria, TheDateKindPicksWhichDateIsTested) {
    const QDate in(2026, 5, 5), out(2020, 1, 1);
    SearchCriteria c = byDate("");
    c.dateFrom = c.dateTo = in;
    const FindData created = fileOn(in, out, out), modified = fileOn(out, in, out),
                   accessed = fileOn(out, out, in);
    const struct {
        QString kind;
        bool created, modified, accessed;
    } cases[] = {{kDateKinds[0], true, false, false},
                 {kDateKinds[1], false, true, false},
                 {kDateKinds[2], false, false, true},
                 {"Files Touched", true, true, true}}; // an unknown kind tests nothing
    for (const auto& k : cases) {
        c.dateKind = k.kind;
        EXPECT_EQ(FileMatchesAdvancedOptions(c, created), k.created) << k.kind.toStdString();
        EXPECT_EQ(FileMatchesAdvancedOptions(c, modified), k.modified) << k.kind.toStdString();
        EXPECT_EQ(FileMatchesAdvancedOptions(c, accessed), k.accessed) << k.kind.toStdString();
    }
}

TEST(SearchCriteria, SizesCountWholeKilobytesRoundedUp) {
    struct Case {
        SearchCriteria criteria;
        int64_t bytes;
        bool pass;
    };
    const Case cases[] = {
        {sizeAt("Least", "1"), 0, false},
        {sizeAt("Least", "1"), 1, true},
        {sizeAt("Most", "1"), 1024, true},
        {sizeAt("Most", "1"), 1025, false},
        {sizeAt("Other", "1"), 1025, false}, // anything but "Least" is "Most"
        {sizeBetween("10", "10"), 9216, false},
        {sizeBetween("10", "10"), 9217, true},
        {sizeBetween("10", "10"), 10240, true},
        {sizeBetween("10", "10"), 10241, false},
        {sizeBetween("20", "10"), 15000, false},
        {sizeAt("Least", " 2,048 "), 2048 * 1024, true},
        {sizeAt("Most", "2147483647"), int64_t(3) << 40, false}, // 3 TiB is not 0 KB
    };
    for (const Case& c : cases) {
        FindData f = fileOn(QDate(2026, 1, 1), QDate(2026, 1, 1), QDate(2026, 1, 1), c.bytes);
        EXPECT_EQ(FileMatchesAdvancedOptions(c.criteria, f), c.pass) << c.bytes;
    }
}

TEST(SearchCriteria, BoxesThatAreNotNumbersTurnEveryFileAwayWithoutALogLine) {
    ScopedStorage storage;
    const FindData f = fileOn(QDate::currentDate(), QDate::currentDate(), QDate::currentDate(), 5000);
    EXPECT_FALSE(FileMatchesAdvancedOptions(sizeAt("Least", "abc"), f));
    EXPECT_FALSE(FileMatchesAdvancedOptions(sizeAt("Least", ""), f));
    EXPECT_FALSE(FileMatchesAdvancedOptions(sizeAt("Least", "3000000000"), f)); // beyond 32 bits
    EXPECT_FALSE(FileMatchesAdvancedOptions(sizeBetween("1", "ten"), f));
    EXPECT_FALSE(FileMatchesAdvancedOptions(inTheLast("x", "Day(s)", QDate::currentDate()), f));
    EXPECT_FALSE(
        FileMatchesAdvancedOptions(inTheLast("40000", "Day(s)", QDate::currentDate()), f)); // 16 bits
    // Even when the date kind is unknown, a bad number box still fails.
    EXPECT_FALSE(FileMatchesAdvancedOptions(inTheLast("x", "Day(s)", QDate::currentDate(), "?"), f));
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST(SearchCriteria, NothingIsFilteredWithoutAdvancedOptionsOrWithoutATickedCriterion) {
    const FindData f = fileOn(QDate(1999, 1, 1), QDate(1999, 1, 1), QDate(1999, 1, 1), 1);
    SearchCriteria c = sizeAt("Least", "abc");
    c.byDate = true;
    c.periodText = "abc";
    c.useAdvanced = false;
    EXPECT_TRUE(FileMatchesAdvancedOptions(c, f));
    c.useAdvanced = true;
    c.byDate = c.bySize = false;
    EXPECT_TRUE(FileMatchesAdvancedOptions(c, f));
}

TEST(SearchCriteria, DateAndSizeMustBothPass) {
    SearchCriteria c = sizeAt("Least", "2");
    c.byDate = true;
    c.dateKind = kDateKinds[1];
    c.dateFrom = c.dateTo = QDate(2026, 2, 2);
    EXPECT_TRUE(FileMatchesAdvancedOptions(c, fileOn({}, QDate(2026, 2, 2), {}, 2048)));
    EXPECT_FALSE(FileMatchesAdvancedOptions(c, fileOn({}, QDate(2026, 2, 2), {}, 1024)));
    EXPECT_FALSE(FileMatchesAdvancedOptions(c, fileOn({}, QDate(2026, 2, 3), {}, 2048)));
}

TEST(RowRules, RoundUpIsTheSmallestWholeNumberNotBelowAndOverflowsLikeTheRuntime) {
    const std::pair<double, int32_t> cases[] = {{0, 0},     {0.5, 1},           {1, 1},
                                                {1.5, 2},   {2.5, 3},           {-0.5, 0},
                                                {-1.5, -1}, {1025.0 / 1024, 2}, {2147483646.5, 2147483647}};
    for (auto [x, expected] : cases)
        EXPECT_EQ(RoundUp(x), expected) << x;
    EXPECT_EQ(errorNumberOf([] { RoundUp(2147483647.5); }), 6);
    EXPECT_EQ(errorNumberOf([] { RoundUp(1e12); }), 6);
    for (int64_t bytes : {0LL, 1LL, 1023LL, 1024LL, 1025LL, 9217LL, 1048576LL, 123456789LL})
        EXPECT_EQ(KilobytesOf(bytes), RoundUp(double(bytes) / 1024)) << bytes;
    EXPECT_EQ(KilobytesOf(int64_t(3) << 40), int64_t(3) << 30);
}

TEST(RowRules, TheExtensionIsTheTextAfterTheLastDot) {
    const std::pair<QString, QString> cases[] = {
        {"/a/scan.tif", "tif"},
        {"/a/scan.tif.bak", "bak"},
        {"/a/report.TIFF", "TIFF"},
        {"/a/noext", ""},
        {"/a/trailing.", ""},
        {"/x.y/noext", "y/noext"},
        {"/a/" + QString(300, 'n') + ".pdf", "pdf"},
    };
    for (const auto& [path, ext] : cases)
        EXPECT_EQ(GetExtension(path), ext) << path.toStdString();
}
