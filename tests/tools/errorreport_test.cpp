// The error report window: its sections, and the report saved as RTF.
#include "tools/frmerrorreportdialog.h"

#include "tests/support/fakeuiservices.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"
#include "tests/tools/rtfreader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

const QString kEq(51, '=');
const QString kDash(51, '-');

QString section(const QString& heading, const QString& subject, const QString& description) {
    return kEq + "\r\n" + heading + "\r\n" + kEq + "\r\n" + kDash + "\r\n" + subject + "\r\n" + kDash +
           "\r\n\r\n" + description + "\r\n\r\n";
}

class ErrorReport : public ::testing::Test {
protected:
    ScopedStorage storage;
    ScopedFakeUi ui;
    QTemporaryDir dir;
    frmErrorReportDialog report;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_F(ErrorReport, SectionsAreNineLinesEachAppendedInCallOrder) {
    const QString paths = "/a/x.tif\r\n/b/y.jpg\r\n";
    report.AddError("Image To Pdf Converesion error", "Following file(s) couldn't Converted", paths);
    const QString one = section("Image To Pdf Converesion error", "Following file(s) couldn't Converted", paths);
    EXPECT_EQ(report.ReportText(), one);
    // The list's own line ends give two empty lines after it.
    EXPECT_TRUE(report.ReportText().endsWith("/b/y.jpg\r\n\r\n\r\n"));

    report.AddError("RENAMING FILES", "FOLLOWING FILES ALREADY EXISTS", "c.pdf");
    report.AddError("RENAMING FILES", "FOLLOWING SOURCE FILES NOT FOUND", "");
    EXPECT_EQ(report.ReportText(), one + section("RENAMING FILES", "FOLLOWING FILES ALREADY EXISTS", "c.pdf") +
                                       section("RENAMING FILES", "FOLLOWING SOURCE FILES NOT FOUND", ""));
    EXPECT_EQ(report.RtxtError->toPlainText(), QString(report.ReportText()).replace("\r\n", "\n"));
    EXPECT_TRUE(ui.fake.messages.isEmpty());
}

TEST_F(ErrorReport, SavedRtfReadsBackAsTheSameLinesWithEscapesAndNonAsciiNames) {
    const QString names = QString::fromUtf8("/scans/Grüße {draft}\\x.tif\r\n/ünï/日本語.png\r\n/emoji/\U0001F600.jpg\r\n");
    report.AddError("Image To Pdf Converesion error", "Following file(s) couldn't Converted", names);
    ui.fake.saveAnswers.push_back(path("report")); // typed without an extension
    report.cmdSave_Click();

    ASSERT_EQ(ui.fake.saveRequests.size(), 1);
    const SaveDialogRequest& asked = ui.fake.saveRequests.front();
    EXPECT_EQ(asked.title, "Save File");
    EXPECT_EQ(asked.filters, QStringList{"Rich Text Files (*.rtf)"});
    EXPECT_TRUE(asked.overwritePrompt);

    EXPECT_FALSE(QFile::exists(path("report.rtf")));
    const QByteArray rtf = readFile(path("report"));
    ASSERT_FALSE(rtf.isEmpty());
    for (char c : rtf) // pure 7-bit: every other character is escaped
        ASSERT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_EQ(rtfreader::PlainText(rtf), report.ReportText());
    EXPECT_TRUE(report.isVisible() == false && ui.fake.messages.isEmpty());
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(ErrorReport, ACancelledSaveWritesNothingAndAFailedOneKeepsTheOldFileAndSaysWhy) {
    report.AddError("RENAMING FILES", "FOLLOWING FILES GET ERROR WHILE RENAMING", QString(4000, 'p'));
    report.cmdSave_Click(); // the fake answers "" as a cancel does
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    ASSERT_TRUE(writeFile(path("old.rtf"), "{\\rtf1 earlier report}"));
    ui.fake.saveAnswers.push_back(path("old.rtf"));
    {
        ScopedFileSizeLimit limit(1024);
        report.cmdSave_Click();
    }
    EXPECT_EQ(readFile(path("old.rtf")), "{\\rtf1 earlier report}");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.rtf"});
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_TRUE(ui.fake.messages.front().text.contains("old.rtf"));
    EXPECT_TRUE(storage.errorLog().startsWith("Error 61 ("));
    EXPECT_TRUE(storage.errorLog().contains("in procedure cmdSave_Click at Line No. "));
}
