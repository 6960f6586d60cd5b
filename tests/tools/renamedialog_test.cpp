// The renaming dialog over real files: new names by pattern, red marks, the apply with its
// three report sections, and the cases where a rename must not happen.
#include "tools/frmrenamefiles.h"

#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/startuptables.h"
#include "gui/widgets/flexgrid.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/testdir.h"
#include "tools/dialogfilegrid.h"
#include "tools/frmerrorreportdialog.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

const QString kBadNames = "Some files have bade names.";
const QString kDone = "Successfully Renamed Files.";

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The report of one apply: the three sections in their order, each list as given.
QString report(const QString& notFound, const QString& alreadyThere, const QString& failed) {
    const QString eq(51, '='), dash(51, '-');
    QString out;
    for (auto [subject, list] : {std::pair{"FOLLOWING SOURCE FILES NOT FOUND", notFound},
                                 std::pair{"FOLLOWING FILES ALREADY EXISTS", alreadyThere},
                                 std::pair{"FOLLOWING FILES GET ERROR WHILE RENAMING", failed}})
        out += eq + "\r\nRENAMING FILES\r\n" + eq + "\r\n" + dash + "\r\n" + subject + "\r\n" + dash + "\r\n\r\n" +
               list + "\r\n\r\n";
    return out;
}

class RenameDialog : public ::testing::Test {
protected:
    ScopedStorage storage;
    ScopedFakeUi ui;
    GridColumns columns;
    GridColumns* oldColumns = AppGridColumns;
    QStringList oldVisibility = arrColumnVisibility;
    QTemporaryDir dir;
    QString root = QDir(dir.path()).canonicalPath();
    QStringList reports; // the text of every error report shown

    RenameDialog() {
        modMasterLayout::AddDefaultGridColumns(columns);
        AppGridColumns = &columns;
        arrColumnVisibility = QString("1,1,1,1,1,1,1,1").split(',');
        ui.fake.onShowModal = [this](QObject* dialog) {
            if (auto* r = qobject_cast<frmErrorReportDialog*>(dialog)) reports << r->ReportText();
            return 0;
        };
    }
    ~RenameDialog() override {
        AppGridColumns = oldColumns;
        arrColumnVisibility = oldVisibility;
    }

    QString path(const QString& name) const { return root + "/" + name; }
    // A file holding its own name, so a test sees which file ended up where.
    QString make(const QString& name) const {
        EXPECT_TRUE(writeFile(path(name), name.toUtf8()));
        return path(name);
    }
    clsColSetOrderGrid record(const QString& name, int pages) const {
        clsColSetOrderGrid r;
        r.setFilename(name);
        r.setFileLocation(root);
        r.setPageCount(pages);
        return r;
    }
    std::unique_ptr<frmRenameFiles> open(const clsColSetOrderGridList& records) {
        auto d = std::make_unique<frmRenameFiles>();
        d->colSelectedData = records;
        d->Form_Load();
        return d;
    }
    static QString newName(frmRenameFiles& d, int row) {
        return d.vsFilesSetOrder->TextMatrix(row, dialoggrid::NewFileNameColumn());
    }
    static bool red(frmRenameFiles& d, int row) {
        return d.vsFilesSetOrder->CellForeColor(row, dialoggrid::NewFileNameColumn()) == QColor(255, 0, 0);
    }
    static void atPosition(frmRenameFiles& d, const QString& position, const QString& sep, bool before, bool after) {
        d.OptAtChrPos1->click();
        d.txtCharPos->setText(position);
        d.txtSepAtCharPos->setText(sep);
        d.chkPrefix->setChecked(before);
        d.chkSuffix->setChecked(after);
    }
    QStringList files() const { return QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name); }
};

} // namespace

TEST_F(RenameDialog, ThePatternPutsThePaddedCountWhereItSaysAndKeepsTheExtension) {
    struct Case {
        const char* name;
        int pages;
        const char* mask;
        std::function<void(frmRenameFiles&)> choose;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"report.pdf", 7, "###", [](frmRenameFiles& d) { atPosition(d, "3", "-", true, true); }, "re-007-port.pdf"},
        {"report.pdf", 7, "###", [](frmRenameFiles& d) { atPosition(d, "99", "-", true, true); }, "report-007-.pdf"},
        {"report.pdf", 7, "", [](frmRenameFiles& d) { atPosition(d, "1", "-", false, true); }, "7-report.pdf"},
        {"report.pdf", 7, "", [](frmRenameFiles& d) { atPosition(d, "7", "-", true, false); }, "report-7.pdf"},
        {"report.pdf", 7, "", [](frmRenameFiles& d) { atPosition(d, "", "-", false, false); }, "7report.pdf"},
        {"report.pdf", 12, "",
         [](frmRenameFiles& d) {
             d.OptPreAsPageCnt->click();
             d.txtSepPrefix->setText("_");
         },
         "12_report.pdf"},
        {"report.pdf", 12, "",
         [](frmRenameFiles& d) {
             d.OptSufAsPageCnt->click();
             d.txtSepSuffix->setText("_");
         },
         "report_12.pdf"},
        {"a.b.tif", 3, "00",
         [](frmRenameFiles& d) {
             d.OptSufAsPageCnt->click();
             d.txtSepSuffix->setText("-");
         },
         "a.b-03.tif"},
        // A count longer than the mask is not cut; one of 40000 pages is no overflow.
        {"big.pdf", 40000, "000",
         [](frmRenameFiles& d) {
             d.OptPreAsPageCnt->click();
             d.txtSepPrefix->setText(" ");
         },
         "40000 big.pdf"},
        {"x.tif", 0, "0000", [](frmRenameFiles& d) { d.OptPreAsPageCnt->click(); }, "0000x.tif"},
    };
    for (const Case& c : cases) {
        auto d = open({record(c.name, c.pages)});
        d->txtPaddingMask->setText(c.mask);
        c.choose(*d);
        d->cmdPreview->click();
        EXPECT_EQ(newName(*d, 1), c.expected) << c.name << " " << c.expected;
    }
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(RenameDialog, AnEmptyPositionBecomesOneAndTheUnselectedOptionsBoxesPlayNoPart) {
    auto d = open({record("scan.tif", 4)});
    d->txtSepPrefix->setText("#");
    d->txtSepSuffix->setText("#");
    atPosition(*d, "", "", true, true);
    d->cmdPreview->click();
    EXPECT_EQ(d->txtCharPos->text(), "1");
    EXPECT_EQ(newName(*d, 1), "4scan.tif");
}

TEST_F(RenameDialog, EachOptionEnablesItsOwnBoxesAndTheMaskStaysEnabled) {
    auto d = open({});
    QList<QWidget*> position{d->txtCharPos, d->txtSepAtCharPos, d->chkPrefix, d->chkSuffix};
    auto enabled = [&] {
        QList<bool> out;
        for (QWidget* w : position + QList<QWidget*>{d->txtSepPrefix, d->txtSepSuffix, d->txtPaddingMask})
            out << w->isEnabled();
        return out;
    };
    EXPECT_EQ(enabled(), QList<bool>({true, true, true, true, true, true, true})); // as opened
    d->OptPreAsPageCnt->click();
    EXPECT_EQ(enabled(), QList<bool>({false, false, false, false, true, false, true}));
    d->OptSufAsPageCnt->click();
    EXPECT_EQ(enabled(), QList<bool>({false, false, false, false, false, true, true}));
    d->OptAtChrPos1->click();
    EXPECT_EQ(enabled(), QList<bool>({true, true, true, true, false, false, true}));
}

TEST_F(RenameDialog, TheKeyFiltersDropRefusedCharactersAsTheyAreTyped) {
    auto d = open({});
    QTest::keyClicks(d->txtCharPos, "a10x2");
    EXPECT_EQ(d->txtCharPos->text(), "12");
    QTest::keyClick(d->txtCharPos, Qt::Key_Backspace);
    EXPECT_EQ(d->txtCharPos->text(), "1");
    QTest::keyClicks(d->txtPaddingMask, "0a9:b1");
    EXPECT_EQ(d->txtPaddingMask->text(), "091");
    for (QLineEdit* box : {d->txtSepAtCharPos, d->txtSepPrefix, d->txtSepSuffix}) {
        QTest::keyClicks(box, "\\/*:?\"<>|");
        EXPECT_EQ(box->text(), "") << qPrintable(box->objectName());
        QTest::keyClicks(box, "_-");
        EXPECT_EQ(box->text(), "_") << qPrintable(box->objectName()); // one character at most
    }
}

TEST_F(RenameDialog, TakenNamesAreRedUntilAPreviewFindsThemFree) {
    make("a.pdf");
    make("b.pdf");
    make("1_a.pdf");
    QDir().mkpath(path("1_b.pdf")); // a folder takes the name as much as a file
    auto d = open({record("a.pdf", 1), record("b.pdf", 1)});
    d->OptPreAsPageCnt->click();
    d->txtSepPrefix->setText("_");
    d->cmdPreview->click();
    EXPECT_TRUE(red(*d, 1));
    EXPECT_TRUE(red(*d, 2));
    d->txtSepPrefix->setText("-");
    d->cmdPreview->click();
    EXPECT_EQ(newName(*d, 1), "1-a.pdf");
    EXPECT_FALSE(red(*d, 1));
    EXPECT_FALSE(red(*d, 2));
    EXPECT_EQ(files(), QStringList({"1_a.pdf", "1_b.pdf", "a.pdf", "b.pdf"})); // the preview renames nothing
}

// The whole road: records, the opener, the dialog, preview, apply, the files on disk, the report.
TEST_F(RenameDialog, TheOpenerShowsTheFilesAndAnApplyRenamesThemOnDisk) {
    make("report.pdf");
    make("scan.tif");
    make("time 12:30.pdf"); // a colon of its own is no reason to refuse the file
    int shown = 0;
    ui.fake.onShowModal = [&](QObject* dialog) {
        auto* d = qobject_cast<frmRenameFiles*>(dialog);
        if (!d) return 0;
        ++shown;
        EXPECT_EQ(d->vsFilesSetOrder->Rows(), 4);
        d->txtPaddingMask->setText("000");
        d->OptSufAsPageCnt->click();
        d->txtSepSuffix->setText("_");
        d->cmdPreview->click();
        d->cmdOk->click();
        return 1;
    };
    EXPECT_EQ(OpenRenameFiles(nullptr, {record("report.pdf", 12), record("scan.tif", 3), record("time 12:30.pdf", 4)}),
              1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(files(), QStringList({"report_012.pdf", "scan_003.tif", "time 12:30_004.pdf"}));
    EXPECT_EQ(contents(path("report_012.pdf")), "report.pdf");
    EXPECT_EQ(contents(path("scan_003.tif")), "scan.tif");
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{kDone});
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(RenameDialog, WithoutAnOptionEveryNameIsTakenAndTheReportHasAllThreeSectionsInOrder) {
    make("a.pdf");
    make("b.tif");
    auto d = open({record("a.pdf", 1), record("b.tif", 2)});
    d->cmdPreview->click();
    EXPECT_EQ(newName(*d, 1), "a.pdf");
    EXPECT_TRUE(red(*d, 1));
    EXPECT_TRUE(red(*d, 2));
    d->cmdOk->click();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.front(), report("", path("a.pdf") + "\r\n" + path("b.tif") + "\r\n", ""));
    EXPECT_TRUE(ui.fake.messages.isEmpty());
    EXPECT_TRUE(d->cmdOk->isEnabled());
    EXPECT_EQ(d->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(contents(path("a.pdf")), "a.pdf");
}

TEST_F(RenameDialog, NothingIsEverReplacedWhateverTakesTheNameAfterThePreview) {
    // Two files meant for one name (a11.pdf), one deleted after the preview, one whose new name
    // a file takes after the preview, one whose new name a folder takes, and one that is free.
    for (const char* f : {"a.pdf", "a1.pdf", "gone.pdf", "late.pdf", "dir.pdf", "free.pdf"})
        make(f);
    auto d = open({record("a.pdf", 11), record("a1.pdf", 1), record("gone.pdf", 1), record("late.pdf", 1),
                   record("dir.pdf", 1), record("free.pdf", 1)});
    d->OptSufAsPageCnt->click();
    d->cmdPreview->click();
    QFile::remove(path("gone.pdf"));
    ASSERT_TRUE(writeFile(path("late1.pdf"), "someone else's"));
    QDir().mkpath(path("dir1.pdf"));
    d->cmdOk->click();

    EXPECT_EQ(contents(path("a11.pdf")), "a.pdf");
    EXPECT_EQ(contents(path("a1.pdf")), "a1.pdf");
    EXPECT_EQ(contents(path("late.pdf")), "late.pdf");
    EXPECT_EQ(contents(path("late1.pdf")), "someone else's");
    EXPECT_EQ(contents(path("dir.pdf")), "dir.pdf");
    EXPECT_TRUE(QFileInfo(path("dir1.pdf")).isDir());
    EXPECT_EQ(contents(path("free1.pdf")), "free.pdf");
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.front(), report(path("gone.pdf") + "\r\n",
                                      path("a11.pdf") + "\r\n" + path("late1.pdf") + "\r\n" + path("dir1.pdf") +
                                          "\r\n",
                                      ""));
    // The grid still shows the old names: a second apply finds none of the renamed files.
    reports.clear();
    d->cmdOk->click();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.front(), report(path("a.pdf") + "\r\n" + path("gone.pdf") + "\r\n" + path("free.pdf") + "\r\n",
                                      path("a11.pdf") + "\r\n" + path("late1.pdf") + "\r\n" + path("dir1.pdf") +
                                          "\r\n",
                                      ""));
}

TEST_F(RenameDialog, AnApplyWithoutAFullAndSoundPreviewRenamesNothing) {
    make("report.pdf");
    make("nodot");
    auto d = open({record("report.pdf", 2), record("nodot", 2)});
    d->cmdOk->click(); // before any preview
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{kBadNames});

    // A separator pasted past the key filters must not move the file into another folder.
    QDir().mkpath(path("2"));
    d->OptPreAsPageCnt->click();
    d->vsFilesSetOrder->setRows(2); // the row without a dot aside
    for (const char* pasted : {"/", ":"}) {
        d->txtSepPrefix->setText(pasted);
        d->cmdPreview->click();
        d->cmdOk->click();
    }
    EXPECT_EQ(ui.fake.messageTexts(), QStringList({kBadNames, kBadNames, kBadNames}));
    EXPECT_EQ(files(), QStringList({"2", "nodot", "report.pdf"}));
    EXPECT_TRUE(QDir(path("2")).isEmpty());
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(RenameDialog, ARowThatCannotBeNamedLeavesNoNameOfAnEarlierPreviewBehindIt) {
    for (const char* f : {"a.pdf", "nodot", "c.pdf"})
        make(f);
    auto d = open({record("a.pdf", 1), record("nodot", 1), record("c.pdf", 1)});
    d->OptPreAsPageCnt->click();
    d->txtSepPrefix->setText("_");
    d->vsFilesSetOrder->setTextMatrix(2, dialoggrid::ColumnOf(u"Name"), "b.pdf");
    d->cmdPreview->click();
    ASSERT_EQ(newName(*d, 3), "1_c.pdf");
    d->vsFilesSetOrder->setTextMatrix(2, dialoggrid::ColumnOf(u"Name"), "nodot");
    d->txtSepPrefix->setText("-");
    d->cmdPreview->click();
    EXPECT_EQ(newName(*d, 1), "1-a.pdf");
    EXPECT_EQ(newName(*d, 2), "");
    EXPECT_EQ(newName(*d, 3), "");
    EXPECT_TRUE(storage.errorLog().contains("in procedure cmdPreview_Click at Line No."));
    d->cmdOk->click();
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{kBadNames});
    EXPECT_EQ(files(), QStringList({"a.pdf", "c.pdf", "nodot"}));
}

TEST_F(RenameDialog, ANameOnDiskThatIsNotUtf8IsNotFoundAndNoOtherFileTakesItsPlace) {
    // "scan\xff.pdf" shows as "scan\uFFFD.pdf", which is also the name of another, real file.
    const QByteArray raw = QFile::encodeName(root) + "/scan\xff.pdf";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString shown = QFile::decodeName(QByteArray("scan\xff.pdf"));
    ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
    make(shown);
    auto d = open({record(shown, 5)});
    d->OptPreAsPageCnt->click();
    d->cmdPreview->click();
    d->cmdOk->click();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.front(), report(path(shown) + "\r\n", "", ""));
    EXPECT_EQ(contents(path(shown)), shown.toUtf8());
    EXPECT_EQ(::access(raw.constData(), F_OK), 0);
}

TEST_F(RenameDialog, ARenameTheSystemRefusesIsListedAndLogged) {
    const QString longName = QString(250, 'n') + ".pdf";
    make(longName);
    make("ok.pdf");
    auto d = open({record(longName, 1), record("ok.pdf", 1)});
    d->txtPaddingMask->setText("0000000000");
    d->OptPreAsPageCnt->click();
    d->cmdPreview->click();
    d->cmdOk->click();
    const QString target = path("0000000001" + longName);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.front(), report("", "", path(longName) + "  To  " + target + "\r\n"));
    EXPECT_TRUE(storage.errorLog().contains("in procedure RenameFile at Line No."));
    EXPECT_EQ(files(), QStringList({"0000000001ok.pdf", longName}));
}
