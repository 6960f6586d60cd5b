#include "tests/support/errorof.h"
#include "core/errortrap.h"
#include "core/vbruntime.h"
#include "tests/support/testdir.h"

#include <QDateTime>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {


} // namespace

TEST(ErrorTrap, LogsOneLinePerErrorInTheLogFormat) {
    ScopedStorage storage;
    const bool ok = trap(u"Main", u" of Module modMasterLayout at time", [] { throw RuntimeError(53, "File not found", 12); });
    EXPECT_FALSE(ok);
    trap(u"cmdSave_Click", u" of Form dlgSave", [] { raiseError(70); });
    const QStringList lines = storage.errorLog().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(
        "Error 53 (File not found) in procedure Main at Line No. 12 of Module modMasterLayout at time- "));
    EXPECT_TRUE(QRegularExpression(R"(time- \d\d/\d\d/\d{4} \d\d:\d\d:\d\d$)").match(lines[0]).hasMatch());
    EXPECT_TRUE(lines[1].contains(QRegularExpression(
        R"(^Error 70 \(Permission denied\) in procedure cmdSave_Click at Line No. \d+ of Form dlgSave- \d)")));
}

TEST(ErrorTrap, BodyThatSucceedsLogsNothingAndLibraryExceptionsAreTrapped) {
    ScopedStorage storage;
    EXPECT_TRUE(trap(u"X", u" of Module modGeneral at time", [] {}));
    EXPECT_TRUE(storage.errorLog().isEmpty());
    bool restored = false;
    EXPECT_FALSE(trap(u"X", u" of Module modGeneral at time", [] { throw std::runtime_error("qpdf: damaged"); },
                      [&] { restored = true; }));
    EXPECT_TRUE(restored);
    EXPECT_TRUE(storage.errorLog().contains("(qpdf: damaged) in procedure X"));
}

TEST(ErrorLog, WritesNothingWhileTheDataFolderIsUnknown) {
    const QString saved = StoragePath;
    StoragePath.clear();
    LogError("lost"); // must neither crash nor write at the root
    EXPECT_FALSE(QFile::exists("/Errors.Log") && QFileInfo("/Errors.Log").lastModified().secsTo(QDateTime::currentDateTime()) < 5);
    StoragePath = saved;
}

TEST(Conversions, IntegerConversionsRoundHalfToEvenAndRaiseTheRuntimeErrors) {
    EXPECT_EQ(vb::CInt(2.5), 2);
    EXPECT_EQ(vb::CInt(3.5), 4);
    EXPECT_EQ(vb::CInt(-2.5), -2);
    EXPECT_EQ(vb::CLng(QString("1,800")), 1800);
    EXPECT_EQ(vb::CLng(QString(" 250 ")), 250);
    EXPECT_EQ(errorNumberOf([] { vb::CInt(40000.0); }), 6);
    EXPECT_EQ(errorNumberOf([] { vb::CLng(QString("abc")); }), 13);
    EXPECT_EQ(errorNumberOf([] { vb::CSng(QString("")); }), 13);
    EXPECT_FLOAT_EQ(vb::CSng(QString("1400.5")), 1400.5f);
}

TEST(Conversions, ValReadsTheLeadingNumberAndIsNumericTheWholeText) {
    EXPECT_DOUBLE_EQ(vb::Val("12abc"), 12);
    EXPECT_DOUBLE_EQ(vb::Val(" 1 2 3"), 123);
    EXPECT_DOUBLE_EQ(vb::Val("-3.5e2x"), -350);
    EXPECT_DOUBLE_EQ(vb::Val("&HFF"), 255);
    EXPECT_DOUBLE_EQ(vb::Val("abc"), 0);
    EXPECT_DOUBLE_EQ(vb::Val(""), 0);
    EXPECT_TRUE(vb::IsNumeric(" 42 "));
    EXPECT_TRUE(vb::IsNumeric("1,024"));
    EXPECT_TRUE(vb::IsNumeric("-1.5e3"));
    EXPECT_FALSE(vb::IsNumeric(""));
    EXPECT_FALSE(vb::IsNumeric("Error"));
    EXPECT_FALSE(vb::IsNumeric("12abc"));
}

TEST(Conversions, GridFormats) {
    EXPECT_EQ(vb::FormatGridDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7))), "05/03/2026 02:07 PM");
    EXPECT_EQ(vb::FormatGridDate(QDateTime(QDate(2026, 12, 31), QTime(0, 30))), "31/12/2026 12:30 AM");
    EXPECT_EQ(vb::FormatKB(1024), "1,024 KB");
    EXPECT_EQ(vb::FormatKB(0), "0 KB");
    EXPECT_EQ(vb::FormatKB(1234567), "1,234,567 KB");
}
