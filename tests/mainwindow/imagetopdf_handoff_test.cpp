// "Image to PDF" from the main window: which rows are handed over, and the whole road from
// a search to PDFs on disk and the report of the files that failed.
#include "tests/mainwindow/mainwindowfixture.h"

#include "gui/widgets/foldertree.h"
#include "tools/frmconimagetopdf.h"
#include "tools/frmerrorreportdialog.h"

#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace {

int pdfPages(const QString& path) {
    try {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(path).constData());
        return int(QPDFPageDocumentHelper(pdf).getAllPages().size());
    } catch (const std::exception&) {
        return -1;
    }
}

class ImageHandOff : public MainWindowFixture {
protected:
    // What the dialog held when it was shown: its shown columns and its rows' names.
    QStringList dialogHeaders;
    QStringList dialogNames;
    int dialogs = 0;
    std::function<void(frmConImageToPdf&)> inDialog;

    ImageHandOff() {
        ui.fake.onShowModal = [this](QObject* shown) {
            if (auto* d = qobject_cast<frmConImageToPdf*>(shown)) {
                ++dialogs;
                dialogHeaders.clear();
                dialogNames.clear();
                const FlexGrid* g = d->vsFilesSetOrder;
                for (int c = 0; c < g->Cols(); ++c)
                    if (!g->ColHidden(c)) dialogHeaders << g->TextMatrix(0, c);
                for (int r = 1; r < g->Rows(); ++r)
                    dialogNames << g->TextMatrix(r, col("Name"));
                if (inDialog) inDialog(*d);
            }
            return 0;
        };
    }

    static void check(frmMain& w, const QStringList& names) {
        for (int r = 1; r < w.grdSearchList->Rows(); ++r)
            if (names.contains(w.grdSearchList->TextMatrix(r, col("Name"))))
                w.grdSearchList->setCellChecked(r, col("Selection"), flexChecked);
    }

    void filterText(frmMain& w, const QString& text) {
        w.cboFilterPattern->setEditable(true);
        w.cboFilterPattern->setCurrentIndex(-1);
        w.cboFilterPattern->setEditText(text);
    }
};

} // namespace

TEST_F(ImageHandOff, OnlyCheckedRowsMatchingTheFilterSplitOnCommasAlonePassAndTheRestIsRefused) {
    frmMain w;
    w.grdSearchList->setRows(1);
    w.cmdConImageToPdf->click();
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{"Please Select Files."});
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.fake.messages[0].title, "Quillmere 3.1");

    for (const char* name : {"b.tif", "a.jpg", "notes.txt", "c.png"})
        addRow(w, name);
    w.cmdConImageToPdf->click(); // nothing checked
    check(w, {"notes.txt"});
    w.cmdConImageToPdf->click(); // checked, but no image by "Image files"
    EXPECT_EQ(ui.fake.messageTexts().mid(1), QStringList(2, "Please select image files only."));
    EXPECT_EQ(dialogs, 0);

    check(w, {"b.tif", "a.jpg", "c.png"});
    w.cmdConImageToPdf->click();
    EXPECT_EQ(dialogNames, QStringList({"b.tif", "a.jpg", "c.png"})); // grid order, notes.txt dropped

    filterText(w, "*.tif;*.jpg"); // ";" separates nothing here: one pattern that no name matches
    w.cmdConImageToPdf->click();
    EXPECT_EQ(ui.fake.messageTexts().constLast(), "Please select image files only.");
    filterText(w, "*.png, *.jpg"); // the second pattern keeps its leading blank
    w.cmdConImageToPdf->click();
    EXPECT_EQ(dialogNames, QStringList{"c.png"});
    filterText(w, "*.png,*.jpg");
    w.cmdConImageToPdf->click();
    EXPECT_EQ(dialogNames, QStringList({"a.jpg", "c.png"}));
    EXPECT_EQ(dialogs, 3);
}

TEST_F(ImageHandOff, TheDialogsColumnsFollowTheResultGridAfterTheUserMovedAndHidThem) {
    frmMain w;
    addRow(w, "a.tif", "/data", "3");
    check(w, {"a.tif"});
    w.grdSearchList->view()->horizontalHeader()->moveSection(col("Type"), 0); // the user's drag
    settings->setColumnVisibility("1,1,1,1,0,1,1,1");                          // "Location" hidden
    w.RefreshGrid();
    w.cmdConImageToPdf->click();
    EXPECT_EQ(dialogHeaders, QStringList({"Type", "Name", "Pages", "Size (In KB)", "Created Date"}));
}

TEST_F(ImageHandOff, FromASearchToPdfsOnDiskAndTheReportOfTheFileThatFailed) {
    const QString folder = QDir(startFolder.path()).canonicalPath() + "/scans";
    QDir().mkpath(folder);
    QImage colour(40, 30, QImage::Format_RGB888);
    colour.fill(QColor(200, 40, 90));
    ASSERT_TRUE(colour.save(folder + "/cover.jpg", "JPG"));
    QImage grey(30, 20, QImage::Format_Grayscale8);
    grey.fill(128);
    ASSERT_TRUE(grey.save(folder + "/page.png", "PNG"));
    ASSERT_TRUE(writeFile(folder + "/torn.tif", "II*\0 not really a TIFF"));
    const QString out = QDir(startFolder.path()).canonicalPath() + "/out";
    QDir().mkpath(out);

    frmMain w;
    w.ftvFolder->SetSelectedFolder(folder); // the search
    ASSERT_EQ(column(w.grdSearchList, "Name"), QStringList({"cover.jpg", "page.png", "torn.tif"}));
    check(w, {"cover.jpg", "page.png", "torn.tif"});

    QString report;
    inDialog = [&](frmConImageToPdf& d) {
        d.txtOutputFolder->setText(out);
        d.cmdConvert->click();
    };
    const auto showDialog = ui.fake.onShowModal;
    ui.fake.onShowModal = [&](QObject* shown) {
        if (auto* r = qobject_cast<frmErrorReportDialog*>(shown)) report = r->ReportText();
        return showDialog(shown);
    };
    w.cmdConImageToPdf->click();

    EXPECT_EQ(pdfPages(out + "/cover.pdf"), 1);
    EXPECT_EQ(pdfPages(out + "/page.pdf"), 1);
    EXPECT_FALSE(QFile::exists(out + "/torn.pdf"));
    EXPECT_TRUE(report.contains("Following file(s) couldn't Converted\r\n" + QString(51, '-') + "\r\n\r\n" + folder +
                                "/torn.tif\r\n\r\n\r\n"))
        << report.toStdString();
    EXPECT_FALSE(ui.fake.messageTexts().contains("Successfully Converted all file(s)."));
}
