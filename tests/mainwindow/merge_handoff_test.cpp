// "Mer&ge and Convert to PDF" from the main window: which rows are handed over and when not,
// SetOrderForm around the dialog, and the whole road from a search to one merged PDF.
#include "tests/mainwindow/mainwindowfixture.h"

#include "core/runtimeerror.h"
#include "gui/widgets/foldertree.h"
#include "pageops/apimgtopdf.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "tools/frmsetorder_mcontiff.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace {

class MergeHandOff : public MainWindowFixture {
protected:
    // What each shown dialog held: its rows' names, the records' page counts.
    QList<QStringList> dialogs;
    QList<QList<int>> pageCounts;
    QObject* setOrderFormWhileOpen = nullptr;
    int commandAction = 0;
    std::function<void(frmSetOrder_MConTiff&)> inDialog;

    MergeHandOff() {
        ui.fake.onShowModal = [this](QObject* shown) {
            auto* d = qobject_cast<frmSetOrder_MConTiff*>(shown);
            if (!d) return 0;
            setOrderFormWhileOpen = SetOrderForm.data();
            commandAction = d->CommandAction;
            QStringList names;
            for (int r = 1; r < d->vsFilesSetOrder->Rows(); ++r)
                names << d->vsFilesSetOrder->TextMatrix(r, col("Name"));
            dialogs << names;
            QList<int> pages;
            for (const clsColSetOrderGrid& record : d->colSelectedData)
                pages << record.PageCount();
            pageCounts << pages;
            if (inDialog) inDialog(*d);
            return 0;
        };
    }

    // The widths of a PDF's pages in pixels at 96 dpi, where the engine places images that
    // name no resolution; empty when it cannot be read.
    static QList<int> pageWidths(const QString& path) {
        QList<int> widths;
        try {
            QPDF pdf;
            pdf.processFile(QFile::encodeName(path).constData());
            for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages())
                widths << qRound(page.getMediaBox().getArrayItem(2).getNumericValue() * 96 / 72);
        } catch (const std::exception&) {
            widths.clear();
        }
        return widths;
    }

    static bool writeImage(const QString& path, int width, int height, QImage::Format format) {
        QImage image(width, height, format);
        image.fill(Qt::darkCyan);
        return image.save(path);
    }

    static void check(frmMain& w, const QStringList& names) {
        for (int r = 1; r < w.grdSearchList->Rows(); ++r)
            if (names.contains(w.grdSearchList->TextMatrix(r, col("Name"))))
                w.grdSearchList->setCellChecked(r, col("Selection"), flexChecked);
    }
};

} // namespace

TEST_F(MergeHandOff, TwoOrMoreCheckedUndamagedRowsGoToTheDialogInTheOrderShown) {
    const QString tooFew = "Please select two or more Files.";
    const QString damaged = "You have selected damaged or corrupted file(s). Please de-select file(s)";
    frmMain w;
    w.grdSearchList->setRows(1);
    w.cmdConverttiffToPdf->click();
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{"Please Select Files."});
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.fake.messages[0].title, "Quillmere 3.1");

    addRow(w, "b.tif", "/data", "3");
    addRow(w, "c.pdf", "/data", "Error");
    addRow(w, "a.jpg", "/data", "");
    addRow(w, "d.tif", "/data", "2");
    w.cmdConverttiffToPdf->click(); // none checked
    check(w, {"b.tif"});
    w.cmdConverttiffToPdf->click(); // one
    check(w, {"c.pdf", "d.tif"});
    w.cmdConverttiffToPdf->click(); // three, the damaged one among them
    EXPECT_EQ(ui.fake.messageTexts().mid(1), QStringList({tooFew, tooFew, damaged}));
    EXPECT_TRUE(dialogs.isEmpty());

    w.grdSearchList->setCellChecked(2, col("Selection"), flexUnchecked);
    check(w, {"a.jpg"});
    w.cmdConverttiffToPdf->click();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs[0], QStringList({"b.tif", "a.jpg", "d.tif"}));
    EXPECT_EQ(pageCounts[0], QList<int>({3, 0, 2})); // no count: 0
    EXPECT_EQ(commandAction, 3);

    // A sort by the user changes the order of the hand-off.
    w.grdSearchList->SortBy(col("Name"), flexSortGenericDescending);
    w.cmdConverttiffToPdf->click();
    EXPECT_EQ(dialogs.last(), QStringList({"d.tif", "b.tif", "a.jpg"}));

    // Commands other than 3 check the rows and open nothing.
    for (int command : {1, 4, 7}) {
        w.ShowSetOrderform(command);
        EXPECT_EQ(dialogs.size(), 2);
    }
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(MergeHandOff, SetOrderFormRefersToTheOpenDialogAndIsEmptyAfterEveryWayOut) {
    frmMain w;
    addRow(w, "a.tif", "/data", "1");
    addRow(w, "b.tif", "/data", "1");
    check(w, {"a.tif", "b.tif"});
    inDialog = [&](frmSetOrder_MConTiff& d) { EXPECT_EQ(setOrderFormWhileOpen, &d); };
    w.cmdConverttiffToPdf->click();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(SetOrderForm.isNull());

    inDialog = [](frmSetOrder_MConTiff&) { raiseError(5); };
    w.cmdConverttiffToPdf->click();
    EXPECT_EQ(dialogs.size(), 2);
    EXPECT_TRUE(SetOrderForm.isNull());
    EXPECT_TRUE(storage.errorLog().contains(" in procedure ShowSetOrderform at Line No. "));
}

TEST_F(MergeHandOff, FromASearchToOneMergedPdfInTheOrderTheUserSet) {
    const auto pdfCounter = makePdfPageCounter();
    PageCounter* oldPdf = std::exchange(PdfPageCounter, pdfCounter.get());
    const QString folder = QDir(startFolder.path()).canonicalPath() + "/scans";
    const QString out = QDir(startFolder.path()).canonicalPath() + "/out";
    QDir().mkpath(folder);
    QDir().mkpath(out);
    ASSERT_TRUE(writeImage(folder + "/cover.jpg", 60, 30, QImage::Format_RGB888));
    ASSERT_TRUE(writeImage(folder + "/letter.png", 40, 40, QImage::Format_Grayscale8));
    ASSERT_TRUE(writeImage(out + "/notes.png", 20, 20, QImage::Format_Grayscale8));
    ASSERT_TRUE(writeImage(out + "/more.png", 24, 20, QImage::Format_Grayscale8));
    ApImgToPdf engine;
    for (const char* name : {"notes.png", "more.png"}) {
        clsColSetOrderGrid record;
        record.setFileLocation(out);
        record.setFilename(name);
        engine.colOrderedData << record;
    }
    engine.FileNameToSave = folder + "/appendix.pdf";
    ASSERT_TRUE(engine.MergeConvert_TiffToPdfx());

    frmMain w;
    // A pattern of the user's own, so the PDF is listed with the images.
    w.cboFilterPattern->setEditable(true);
    w.cboFilterPattern->setCurrentIndex(-1);
    w.cboFilterPattern->setEditText("*.pdf,*.jpg,*.png");
    w.ftvFolder->SetSelectedFolder(folder); // the search
    ASSERT_EQ(column(w.grdSearchList, "Name"), QStringList({"appendix.pdf", "cover.jpg", "letter.png"}));
    ASSERT_EQ(column(w.grdSearchList, "Pages"), QStringList({"2", "", ""}));
    check(w, {"appendix.pdf", "cover.jpg", "letter.png"});
    inDialog = [&](frmSetOrder_MConTiff& d) {
        d.cmdDown->click(); // appendix.pdf below cover.jpg
        d.vsFilesSetOrder->setRow(2);
        d.cmdDown->click(); // and below letter.png
        d.txtmanualfilename->setText("bundle");
        d.txtOutputFolder->setText(out);
        d.cmdOK->click();
    };
    w.cmdConverttiffToPdf->click();

    EXPECT_EQ(pageWidths(out + "/bundle.pdf"), QList<int>({60, 40, 20, 24})); // cover, letter, appendix
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{"Successfully Converted tiff files to pdf."});
    EXPECT_TRUE(SetOrderForm.isNull());
    EXPECT_TRUE(storage.errorLog().isEmpty());
    PdfPageCounter = oldPdf;
}
