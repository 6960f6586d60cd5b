#include "tests/mainwindow/mainwindowfixture.h"

#include "core/runtimeerror.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/dlgsave.h"
#include "mainwindow/exportfile.h"
#include "tests/support/filesizelimit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// What the user does in the export dialog.
struct Answer {
    QString folder = QString();
    QString name = QString();
    int type = 1; // "Excel Worksheet(*.xls)"
    QString separator = QString();
    bool openAfter = false;
    bool cancel = false;
};

} // namespace

struct Export : MainWindowFixture {
    QTemporaryDir out;
    std::unique_ptr<frmMain> w = std::make_unique<frmMain>();

    // Rows A (checked), B ("Error", its box gone), C (unchecked), D (checked).
    void addRows() {
        FlexGrid* g = w->grdSearchList;
        const int a = addRow(*w, "A.tif", "/scans", "2", "1,024 KB");
        g->setTextMatrix(a, col("Created Date"), "08/12/2026 09:05 AM");
        addRow(*w, "B.tif", "/scans", "Error");
        addRow(*w, "C.tif", "/scans", "1");
        addRow(*w, "D.pdf", "/scans;x", "7");
        g->setCellChecked(1, col("Selection"), flexChecked);
        g->setCellChecked(2, col("Selection"), flexNoCheckbox);
        g->setCellChecked(4, col("Selection"), flexChecked);
    }

    void answerWith(const Answer& a) {
        ui.fake.onShowModal = [a](QObject* d) {
            auto* dlg = qobject_cast<dlgSave*>(d);
            EXPECT_TRUE(dlg);
            if (!dlg) return 0;
            if (a.cancel) {
                dlg->cmdCancel->click();
                return 0;
            }
            EXPECT_TRUE(dlg->ftvFolder->SetSelectedFolder(a.folder));
            dlg->cboFileType->setCurrentIndex(a.type);
            if (!a.name.isNull()) dlg->txtFileName->setText(a.name);
            if (!a.separator.isNull()) dlg->txtColSaperator->setText(a.separator);
            dlg->ChkOpenFile->setChecked(a.openAfter);
            dlg->cmdSave->click();
            return 1;
        };
    }
    QStringList messages() const { return ui.fake.messageTexts(); }
};

TEST_F(Export, UncheckedRowsAreLeftOutAndColumnsFollowTheDisplayWithoutTheCheckAndHiddenOnes) {
    addRows();
    w->grdSearchList->setCellChecked(2, col("Selection"), flexUnchecked); // B has its box until Select all
    w->mnuCtxSelectAll_Click();
    ASSERT_EQ(w->grdSearchList->CellChecked(2, col("Selection")), flexNoCheckbox);
    w->grdSearchList->setCellChecked(3, col("Selection"), flexUnchecked); // C
    const int e = addRow(*w, "E.tif", "/scans", "Error"); // listed after Select all: its box stays, unchecked
    ASSERT_EQ(w->grdSearchList->CellChecked(e, col("Selection")), flexUnchecked);
    answerWith({out.path(), "list"});
    w->mnuExport->trigger();

    // B, whose box Select all removed, goes with the checked rows.
    const QString file = out.path() + "/list.xls";
    EXPECT_EQ(messages(), QStringList{file + "Exported successfully"});
    EXPECT_EQ(readAll(file), "Name\tPages\tLocation\tSize (In KB)\tType\tCreated Date\tModified Date\r\n"
                             "A.tif\t2\t/scans\t1,024 KB\t\t08/12/2026 09:05 AM\t\r\n"
                             "B.tif\tError\t/scans\t1 KB\t\t\t\r\n"
                             "D.pdf\t7\t/scans;x\t1 KB\t\t\t\r\n");
    EXPECT_FALSE(QFile::exists(StoragePath + "/Temp.xls"));
    EXPECT_TRUE(QDir(StoragePath).entryList(QDir::Files).isEmpty());

    // A moved and a hidden column; a text file with the user's separator.
    settings->setColumnReOrder("Location,Name,Selection,Pages,Size (In KB),Type,Created Date,Modified Date");
    settings->setColumnVisibility("1,1,1,1,0,0,0,0");
    w->RefreshGrid();
    answerWith({out.path(), "list.txt", 0, ";"});
    w->cmdExport->click();
    EXPECT_EQ(readAll(out.path() + "/list.txt"),
              "Location;Name;Pages\r\n/scans;A.tif;2\r\n/scans;B.tif;Error\r\n/scans;x;D.pdf;7\r\n");
}

TEST_F(Export, EachTypeSetsTheExtensionAndTheSeparatorAndTheNameRulesHold) {
    addRows();
    struct Case {
        int type;
        const char* name;
        const char* separator;
        const char* file;
        const char* header;
    };
    const Case cases[] = {
        {0, "list.txt", "|", "list.txt", "Name|Pages"},
        {0, "list.TXT", ",", "list.TXT.txt", "Name,Pages"},
        {0, "list.csv", ",", "list.csv.txt", "Name,Pages"},
        {1, "list", ",", "list.xls", "Name\tPages"},
        {2, "list.csv", ";", "list.csv", "Name\tPages"}, // the box is hidden: a tab
        {3, "memo", "#", "memo.doc", "Name#Pages"},
    };
    settings->setColumnVisibility("1,1,1,0,0,0,0,0");
    w->RefreshGrid();
    for (const Case& c : cases) {
        answerWith({out.path(), c.name, c.type, c.separator});
        w->cmdExport_Click();
        EXPECT_TRUE(readAll(out.path() + "/" + c.file).startsWith(QByteArray(c.header) + "\r\n")) << c.file;
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 6);
}

TEST_F(Export, TheDialogsDefaultsChecksAndFilters) {
    settings->setIsOpenFileAfterExport(1);
    dlgSave d;
    EXPECT_EQ(d.windowTitle(), "Export");
    QStringList types;
    for (int i = 0; i < d.cboFileType->count(); ++i)
        types << d.cboFileType->itemText(i);
    EXPECT_EQ(types, (QStringList{"Text Document (*.txt)", "Excel Worksheet(*.xls)", "CSV File (*.csv)",
                                  "Word Document (*.doc)"}));
    EXPECT_EQ(d.cboFileType->currentIndex(), 1);
    EXPECT_TRUE(d.txtColSaperator->isHidden());
    EXPECT_EQ(d.txtFileName->text(), QDate::currentDate().toString("yyyy_MM_dd") + "_Data");
    EXPECT_EQ(d.txtColSaperator->text(), ",");
    EXPECT_TRUE(d.ChkOpenFile->isChecked());
    EXPECT_EQ(d.ftvFolder->SelectedFolder(), QDir::homePath());
    for (int i : {0, 1, 2, 3}) {
        d.cboFileType->setCurrentIndex(i);
        EXPECT_EQ(d.txtColSaperator->isHidden(), i == 1 || i == 2) << i;
        EXPECT_EQ(d.lblDelimeter->isHidden(), i == 1 || i == 2) << i;
    }

    // Typed reserved characters are swallowed; a pasted one is not.
    d.show();
    d.txtFileName->clear();
    d.txtFileName->setFocus();
    QTest::keyClicks(d.txtFileName, "a?b|c*d:e");
    EXPECT_EQ(d.txtFileName->text(), "abcde");

    d.txtFileName->clear();
    d.cmdSave->click();
    d.txtFileName->setText("x");
    d.cboFileType->setCurrentIndex(0);
    d.txtColSaperator->clear();
    d.cmdSave->click();
    EXPECT_EQ(ui.fake.messageTexts(), (QStringList{"Please specify file name.", "Please enter column saperator."}));
    EXPECT_TRUE(d.isVisible());

    // The close box is a cancel, and the open-after choice is still remembered.
    d.ChkOpenFile->setChecked(false);
    d.close();
    EXPECT_EQ(d.filename, exportfile::kCancelled);
    EXPECT_FALSE(d.OpenFile);
    EXPECT_EQ(settings->IsOpenFileAfterExport(), 0);
}

TEST_F(Export, NothingToExportCancelAndOpenAfterwards) {
    w->cmdExport_Click();
    addRows();
    w->mnuCtxDeSelectAll_Click();
    w->cmdExport_Click();
    EXPECT_EQ(messages(), (QStringList{"No Files Found", "No files selected"}));
    EXPECT_TRUE(ui.fake.modalShows.isEmpty());

    w->mnuCtxSelectAll_Click();
    answerWith({.cancel = true});
    EXPECT_FALSE(w->ExportCheckedRows(w->grdSearchList));
    EXPECT_EQ(messages().size(), 2);
    EXPECT_TRUE(QDir(out.path()).isEmpty());

    answerWith({out.path(), "open me", 1, {}, true});
    EXPECT_TRUE(w->ExportCheckedRows(w->grdSearchList));
    EXPECT_EQ(messages().size(), 2); // opened instead of the message
    ASSERT_EQ(ui.fake.launches.size(), 1);
    EXPECT_EQ(ui.fake.launches[0].path, out.path() + "/open me.xls");
    EXPECT_EQ(settings->IsOpenFileAfterExport(), 1);
}

TEST_F(Export, AFailureIsShownEvenAfterACancelledExportAndLeavesTheOldFileWhole) {
    addRows();
    answerWith({.cancel = true});
    w->cmdExport_Click();

    // The copy of the rows fails before the dialog opens: the earlier cancel hides nothing.
    w->ExportCopyHook = [] { raiseError(7, QStringLiteral("Out of memory")); };
    w->cmdExport_Click();
    EXPECT_EQ(messages(), QStringList{"Unable to export!\r\n\r\nOut of memory"});
    w->ExportCopyHook = nullptr;

    // The disk fills while the file is written: the earlier export stays as it was.
    const QString file = out.path() + "/list.xls";
    ASSERT_TRUE(writeFile(file, "earlier export"));
    answerWith({out.path(), "list"});
    std::optional<ScopedFileSizeLimit> limit;
    ui.fake.onShowModal = [answer = ui.fake.onShowModal, &limit](QObject* d) {
        const int result = answer(d);
        limit.emplace(20); // from the dialog's close on
        return result;
    };
    w->cmdExport_Click();
    limit.reset();
    ASSERT_EQ(messages().size(), 2);
    EXPECT_TRUE(messages()[1].startsWith("Unable to export!\r\n\r\n")) << messages()[1].toStdString();
    EXPECT_EQ(readAll(file), "earlier export");
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}
