#include "core/vbruntime.h"
#include "platform/shell/filetypes.h"
#include "search/filerowbuilder.h"
#include "search/filerowcollector.h"
#include "search/filerowpages.h"
#include "tests/search/searchfixtures.h"
#include "tests/support/testdir.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace filesearch;
using searchtest::FakePageCounter;
using searchtest::makeFile;

namespace {

class RowTexts : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root = dir.path();
    platform::FileTypes types;
    FileRowBuilder builder{types};

    FileRow rowFor(const QString& relative, qint64 bytes = 0, const QString& folder = QString()) {
        const QString path = makeFile(root, relative, bytes);
        FindData data;
        EXPECT_TRUE(GetFindData(path, data));
        return builder.build(folder.isEmpty() ? path.left(path.lastIndexOf('/')) : folder, data);
    }
};

} // namespace

TEST_F(RowTexts, SizesAreWholeKilobytesRoundedUpWithGroupSeparators) {
    const std::pair<qint64, const char*> cases[] = {{0, "0 KB"},           {1, "1 KB"},
                                                    {1024, "1 KB"},        {1025, "2 KB"},
                                                    {1048576, "1,024 KB"}, {1048577, "1,025 KB"}};
    for (auto [bytes, text] : cases)
        EXPECT_EQ(rowFor(QString("s%1.bin").arg(bytes), bytes).size, text) << bytes;
}

TEST_F(RowTexts, NameLocationTypeAndDatesOfARow) {
    const QString path = makeFile(root, "sub/Photo 1.jpg", 10);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        f.setFileTime(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 30)), QFileDevice::FileModificationTime));
    f.close();
    FindData data;
    ASSERT_TRUE(GetFindData(path, data));
    const FileRow row = builder.build(root + "/sub/", data);
    EXPECT_EQ(row.name, "Photo 1.jpg");
    EXPECT_EQ(row.location, root + "/sub/"); // as the search passed it
    EXPECT_EQ(row.type, "jpeg image");
    EXPECT_EQ(row.iconKey, "jpeg image");
    EXPECT_EQ(row.modified, "05/03/2026 02:07 PM");
    EXPECT_TRUE(QRegularExpression(R"(^\d\d/\d\d/\d{4} \d\d:\d\d (AM|PM)$)").match(row.created).hasMatch());
    EXPECT_TRUE(row.pages.isNull());
}

TEST_F(RowTexts, PageCountsFollowTheTiffAndPdfRulesWhileThePagesColumnIsShown) {
    FakePageCounter tiff(2), pdf(4);
    tiff.counts = {{"zero.tif", 0}, {"bad.tif", -1}};
    pdf.counts = {{"zero.pdf", 0}, {"bad.pdf", -3}};
    builder.setPageCounting(true, &tiff, &pdf);
    const std::pair<const char*, const char*> cases[] = {
        {"zero.tif", "0"},     {"bad.tif", "Error"}, {"report.tiff", "2"}, {"UPPER.TIF", "2"},
        {"zero.pdf", "Error"}, {"bad.pdf", "Error"}, {"REPORT.PDF", "4"},  {"scan.tif.bak", ""},
        {"photo.jpg", ""},     {"tif", ""},
    };
    for (auto [name, pages] : cases)
        EXPECT_EQ(rowFor(name).pages, pages) << name;
    EXPECT_EQ(tiff.asked.size(), 4);
    EXPECT_EQ(pdf.asked.size(), 3);
    EXPECT_EQ(tiff.asked.first(), root + "/zero.tif");
}

TEST_F(RowTexts, PagesHiddenLeavesTheCellEmptyAndAsksNoCounter) {
    FakePageCounter tiff, pdf;
    builder.setPageCounting(false, &tiff, &pdf);
    EXPECT_TRUE(rowFor("a.tif").pages.isEmpty());
    EXPECT_TRUE(rowFor("a.pdf").pages.isEmpty());
    EXPECT_TRUE(tiff.asked.isEmpty() && pdf.asked.isEmpty());
}

TEST_F(RowTexts, TheCollectorBuildsOneRowPerListedFile) {
    makeFile(root, "a.jpg");
    makeFile(root, "b.JPG");
    makeFile(root, "sub/c.jpeg");
    FileRowCollector collector(builder);
    SearchOptions o;
    o.subfolders = true;
    o.patterns = {"*.jpg", "*.jpeg"};
    FolderSearch(o, collector).LoadFiles(root);
    ASSERT_EQ(collector.rows().size(), 3u);
    for (const FileRow& r : collector.rows())
        EXPECT_EQ(r.iconKey, "jpeg image") << r.name.toStdString(); // one icon for the type
    EXPECT_EQ(collector.rows()[2].location, root + "/sub");
}

TEST(ColumnFlags, OnlyAOneShowsAColumn) {
    EXPECT_TRUE(FileRowBuilder::isColumnShown("1,1,1", 2));
    EXPECT_FALSE(FileRowBuilder::isColumnShown("1,1,0", 2));
    EXPECT_FALSE(FileRowBuilder::isColumnShown("1,1,2", 2));
    EXPECT_FALSE(FileRowBuilder::isColumnShown("1,1", 2));
}

namespace {

struct FakeRows : PageCountRows {
    struct Row {
        QString name, location;
        bool checked;
        QString pages;
    };
    std::vector<Row> rows;
    int rowCount() const override { return int(rows.size()); }
    bool isChecked(int r) const override { return rows[r].checked; }
    QString name(int r) const override { return rows[r].name; }
    QString location(int r) const override { return rows[r].location; }
    void setPagesText(int r, const QString& t) override { rows[r].pages = t; }
};

} // namespace

TEST(GetPageCount, FillsTheCheckedTiffAndPdfRowsOnlyWhileTheColumnIsHidden) {
    FakePageCounter tiff(3), pdf(0);
    FakeRows grid;
    grid.rows = {{"a.tif", "/f", true, ""},     {"b.tif", "/f/", false, ""}, {"c.PDF", "/g", true, ""},
                 {"d.jpg", "/g", true, "keep"}, {"pdf", "/g", true, "keep"}, {"e.TIFF", "/h/", true, ""}};
    GetPageCount(grid, {"1", "1", "1"}, 2, &tiff, &pdf); // shown: the search has counted
    EXPECT_TRUE(tiff.asked.isEmpty());
    GetPageCount(grid, {"1", "1", "0"}, 2, &tiff, &pdf);
    EXPECT_EQ(tiff.asked, (QStringList{"/f/a.tif", "/h/e.TIFF"}));
    EXPECT_EQ(pdf.asked, QStringList{"/g/c.PDF"});
    const QStringList pages{grid.rows[0].pages, grid.rows[1].pages, grid.rows[2].pages,
                            grid.rows[3].pages, grid.rows[4].pages, grid.rows[5].pages};
    EXPECT_EQ(pages, (QStringList{"3", "", "Error", "keep", "keep", "3"}));
}

TEST(GetPageCount, AMissingVisibilityFlagIsLoggedAndCountsNothing) {
    ScopedStorage storage;
    FakePageCounter tiff, pdf;
    FakeRows grid;
    grid.rows = {{"a.tif", "/f", true, ""}};
    GetPageCount(grid, {"1"}, 2, &tiff, &pdf);
    EXPECT_TRUE(tiff.asked.isEmpty());
    EXPECT_TRUE(storage.errorLog().startsWith("Error 9 (Subscript out of range) in procedure GetPageCount"));
}
