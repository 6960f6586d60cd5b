// The set-order-and-merge dialog over real files: moving rows, the checks of a Convert, the
// merged pages in the order shown, failures that leave the user's files alone, and close
// requests while a merge runs.
#include "tools/frmsetorder_mcontiff.h"

#include "core/globals.h"
#include "core/runtimeerror.h"
#include "gui/widgets/flexgrid.h"
#include "pageops/apimgtopdf.h"
#include "pageops/tiffpdfcommands.h"
#include "platform/fileio/outputset.h"
#include "platform/tiffpages/tiffpages.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"
#include "tests/tools/tooldialogprocess.h"
#include "tests/tools/toolfixtures.h"
#include "tools/dialogfilegrid.h"
#include "tools/setorderprogress.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

const QString kDone = "Successfully Converted tiff files to pdf.";
const QString kFailed = "Error: in Converting files";
const QString kBadName = "Please provide valid file name.";

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A page as its pixel size: every source below has pages of sizes of its own, so the
// merged PDF's pages tell which file, and which page of it, each one came from (the
// engine places an image that names no resolution at 96 dpi).
using Signature = std::pair<int, int>;
std::vector<Signature> signatures(const QString& pdf) {
    std::vector<Signature> out;
    for (const toolfx::PdfPage& page : toolfx::readPdf(pdf))
        out.emplace_back(qRound(page.width * 96 / 72), qRound(page.height * 96 / 72));
    return out;
}

// The fake, but a message box of the given text fails the way a run-time error would.
class FailingMessageUi : public FakeUiServices {
public:
    QString failOn;
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override {
        const MsgAnswer answer = FakeUiServices::MsgBox(text, buttons, icon, title);
        if (!failOn.isEmpty() && text == failOn) {
            failOn.clear();
            raiseError(5);
        }
        return answer;
    }
};

class SetOrderDialog : public ::testing::Test {
protected:
    ScopedToolProcess process;
    ScopedStorage& storage = process.storage;
    Settings& settings = process.settings;
    FailingMessageUi fake;
    UiServices* oldUi = SetUi(&fake);
    QTemporaryDir dir;
    QString root = QDir(dir.path()).canonicalPath();
    QString in = root + "/in", out = root + "/out";

    SetOrderDialog() {
        QDir().mkpath(in);
        QDir().mkpath(out);
    }
    ~SetOrderDialog() override {
        SetOrderForm = nullptr;
        SetUi(oldUi);
    }

    // The dialog as the main window opens it: records, SetOrderForm, Form_Load.
    std::unique_ptr<frmSetOrder_MConTiff> open(const QStringList& files) {
        auto d = std::make_unique<frmSetOrder_MConTiff>();
        for (const QString& file : files) {
            clsColSetOrderGrid r;
            r.setFileLocation(QFileInfo(file).absolutePath());
            r.setFilename(QFileInfo(file).fileName());
            d->colSelectedData.append(r);
        }
        SetOrderForm = d.get();
        d->Form_Load();
        return d;
    }

    // [3-page TIFF, JPEG, 2-page PDF, PNG], each page a size of its own.
    QStringList fourSources() {
        QStringList pages;
        for (int w : {40, 44, 48}) {
            pages << in + QString("/p%1.tif").arg(w);
            EXPECT_TRUE(toolfx::writeBilevelTiff(pages.back(), w, 40));
        }
        fileio::Failure failure;
        EXPECT_TRUE(tiffpages::mergeTiffs(pages, in + "/three.tif", failure));
        EXPECT_TRUE(toolfx::writeColourJpeg(in + "/photo.jpg", 60, 30));
        EXPECT_TRUE(toolfx::writeGreyPng(in + "/a.png", 80, 20));
        EXPECT_TRUE(toolfx::writeGreyPng(in + "/b.png", 84, 20));
        ApImgToPdf engine;
        engine.colOrderedData = open({in + "/a.png", in + "/b.png"})->colSelectedData;
        engine.FileNameToSave = in + "/two.pdf";
        EXPECT_TRUE(engine.MergeConvert_TiffToPdfx());
        EXPECT_TRUE(toolfx::writeGreyPng(in + "/last.png", 100, 50));
        return {in + "/three.tif", in + "/photo.jpg", in + "/two.pdf", in + "/last.png"};
    }

    static QStringList names(const frmSetOrder_MConTiff& d) {
        QStringList out;
        for (int r = 1; r < d.vsFilesSetOrder->Rows(); ++r)
            out << d.vsFilesSetOrder->TextMatrix(r, dialoggrid::ColumnOf(u"Name"));
        return out;
    }
    static QList<int> selection(const frmSetOrder_MConTiff& d) {
        int r1, c1, r2, c2;
        d.vsFilesSetOrder->GetSelection(r1, c1, r2, c2);
        return {d.vsFilesSetOrder->Row(), r1, r2};
    }
    static void convert(frmSetOrder_MConTiff& d, const QString& name, const QString& folder) {
        d.txtmanualfilename->setText(name);
        d.txtOutputFolder->setText(folder);
        d.cmdOK->click();
    }
    static void expectIdle(frmSetOrder_MConTiff& d) {
        EXPECT_FALSE(d.Running());
        EXPECT_TRUE(d.cmdOK->isEnabled());
        EXPECT_TRUE(d.cmdUp->isEnabled());
        EXPECT_TRUE(d.cmdDown->isEnabled());
        EXPECT_EQ(d.cursor().shape(), Qt::ArrowCursor);
    }
};

} // namespace

TEST_F(SetOrderDialog, UpAndDownMoveTheSelectedBlockOneRowAndNeverPastTheEnds) {
    auto d = open({"/s/a", "/s/b", "/s/c", "/s/d"});
    FlexGrid& g = *d->vsFilesSetOrder;
    const int last = g.Cols() - 1;
    struct Step {
        const char* what;
        int cursor, other; // the selection as Select(cursor, 0, other, last) makes it
        bool up;
        QStringList names;
        QList<int> selected; // cursor, first row, last row
    } steps[] = {
        {"rows 2-3 up", 2, 3, true, {"b", "c", "a", "d"}, {1, 1, 2}},
        {"a block at the top stays", 1, 2, true, {"b", "c", "a", "d"}, {1, 1, 2}},
        {"also with the cursor on its last row", 2, 1, true, {"b", "c", "a", "d"}, {2, 1, 2}},
        {"one row down", 1, 1, false, {"c", "b", "a", "d"}, {2, 2, 2}},
        {"rows 2-3 down", 2, 3, false, {"c", "d", "b", "a"}, {3, 3, 4}},
        {"a block at the bottom stays", 3, 4, false, {"c", "d", "b", "a"}, {3, 3, 4}},
        {"the last row alone stays", 4, 4, false, {"c", "d", "b", "a"}, {4, 4, 4}},
        {"the first row alone stays", 1, 1, true, {"c", "d", "b", "a"}, {1, 1, 1}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        g.Select(s.cursor, 0, s.other, last);
        (s.up ? d->cmdUp : d->cmdDown)->click();
        EXPECT_EQ(names(*d), s.names);
        EXPECT_EQ(selection(*d), s.selected);
    }
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(SetOrderDialog, EnterInTheTextBoxesNeitherReordersNorPicksNorConverts) {
    auto d = open({"/s/a", "/s/b", "/s/c"});
    d->show();
    d->vsFilesSetOrder->Select(2, 0, 2, d->vsFilesSetOrder->Cols() - 1);
    for (QLineEdit* box : {d->txtmanualfilename, d->txtOutputFolder}) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
    }
    EXPECT_EQ(names(*d), QStringList({"a", "b", "c"}));
    EXPECT_TRUE(fake.folderRequests.isEmpty());
    EXPECT_TRUE(fake.messages.isEmpty());
}

TEST_F(SetOrderDialog, TheMergedPdfHoldsEveryPageInTheOrderShownAndIsOpenedWhenAsked) {
    const QStringList files = fourSources();
    settings.setIsDefaultPathMConvToPDF(1);
    settings.setDefaultPathMConvToPDF(out);
    settings.setIsOpenFileMConvToPDF(1);
    auto d = open(files);
    EXPECT_EQ(d->txtOutputFolder->text(), out);
    EXPECT_TRUE(d->ChkOpenFileMConvToPDF->isChecked());
    EXPECT_TRUE(d->txtmanualfilename->text().isEmpty());

    // last.png to the top, then photo.jpg below two.pdf.
    d->vsFilesSetOrder->setRow(4);
    for (int i = 0; i < 3; ++i)
        d->cmdUp->click();
    d->vsFilesSetOrder->setRow(3);
    d->cmdDown->click();
    ASSERT_EQ(names(*d), QStringList({"last.png", "three.tif", "two.pdf", "photo.jpg"}));
    QList<int> bar;
    QObject::connect(d->ProgressBar1, &QProgressBar::valueChanged, [&](int v) { bar << v; });
    convert(*d, "merged.final.tif", out + "/");

    const QString merged = out + "/merged.final.pdf";
    EXPECT_EQ(signatures(merged), (std::vector<Signature>{
                                      {100, 50},                      // last.png
                                      {40, 40}, {44, 40}, {48, 40},   // three.tif
                                      {80, 20}, {84, 20},             // two.pdf
                                      {60, 30},                       // photo.jpg
                                  }));
    EXPECT_EQ(d->ProgressBar1->maximum(), 4);
    ASSERT_FALSE(bar.isEmpty());
    EXPECT_EQ(bar.last(), 4);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_EQ(fake.messageTexts(), QStringList{kDone});
    ASSERT_EQ(fake.launches.size(), 1);
    EXPECT_EQ(fake.launches[0].verb, "Open");
    EXPECT_EQ(fake.launches[0].path, merged);
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"merged.final.pdf"});
    EXPECT_TRUE(storage.errorLog().isEmpty());
    expectIdle(*d);
}

TEST_F(SetOrderDialog, EveryCheckOfAConvertStopsWithItsMessageAndWritesNothing) {
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/a.png", 20, 20));
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/b.png", 30, 20));
    ASSERT_TRUE(writeFile(out + "/kept.pdf", "the user's own file"));
    // What a blank folder box would name if the target were formed from it.
    ASSERT_TRUE(writeFile(root + "/   /kept.pdf", "not chosen"));
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(root);
    const auto restoreCurrent = qScopeGuard([&] { QDir::setCurrent(oldCurrent); });
    auto d = open({in + "/a.png", in + "/b.png"});

    // A folder picked fills the box; a cancelled picker leaves it as it was.
    d->txtOutputFolder->setText("typed");
    fake.folderAnswers = {out, ""};
    d->cmdBrowse->click();
    d->cmdBrowse->click();
    EXPECT_EQ(d->txtOutputFolder->text(), out);

    // Typed refused keys never reach the box; the tool tip says why.
    d->txtmanualfilename->clear();
    QTest::keyClicks(d->txtmanualfilename, "re:po/rt");
    EXPECT_EQ(d->txtmanualfilename->text(), "report");
    EXPECT_EQ(d->txtmanualfilename->toolTip(),
              "A filename can not contain any of the following character.\\n \\/*:''<>|");

    struct Case {
        const char* what;
        QString name, folder;
        QStringList messages;
    } cases[] = {
        {"no name", "", out, {kBadName}},
        {"a pasted slash", "../escape", out, {kBadName}},
        {"a pasted refused character", "a|b", out, {kBadName}},
        {"dot", ".", out, {kBadName}},
        {"dot dot", "..", out, {kBadName}},
        // Refused before any target is formed: no question about a file at the root.
        {"no folder", "kept", "", {"Invalid Output Folder Path"}},
        {"a blank folder", "kept", "   ", {"Invalid Output Folder Path"}},
        {"a missing folder", "new", root + "/missing", {"Please enter Valid folder Name"}},
        {"a file for a folder", "new", out + "/kept.pdf", {"Please enter Valid folder Name"}},
        {"an existing target, No", "kept.tif", out,
         {out + "/kept.pdf Already exists. Do you Wants to Replace it?"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.messages.clear();
        fake.msgAnswers = {MsgAnswer::No};
        convert(*d, c.name, c.folder);
        EXPECT_EQ(fake.messageTexts(), c.messages);
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.pdf"});
        EXPECT_EQ(contents(out + "/kept.pdf"), "the user's own file");
        EXPECT_EQ(d->vsFilesSetOrder->Rows(), 3); // the dialog is as it was
    }
    EXPECT_EQ(fake.messages.back().buttons, MsgButtons::YesNo);
    EXPECT_EQ(fake.messages.back().icon, MsgIcon::None);
    EXPECT_TRUE(QDir(root).entryList({"*.pdf"}, QDir::Files).isEmpty());
    EXPECT_EQ(contents(root + "/   /kept.pdf"), "not chosen");

    fake.messages.clear();
    fake.msgAnswers = {MsgAnswer::Yes};
    convert(*d, "kept", out);
    EXPECT_EQ(signatures(out + "/kept.pdf"), (std::vector<Signature>{{20, 20}, {30, 20}}));
    EXPECT_EQ(fake.messageTexts().last(), kDone);
    EXPECT_TRUE(fake.launches.isEmpty()); // the open box was not ticked
}

TEST_F(SetOrderDialog, AFailedMergeSaysSoAndLeavesAReplacedTargetByteForByte) {
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/a.png", 300, 300));
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/c.png", 300, 300));
    ASSERT_TRUE(writeFile(in + "/damaged.tif", "II*\0 not much of a TIFF"));
    const QByteArray mine = "%PDF-1.4 the user's merge of last week\n";
    ASSERT_TRUE(writeFile(out + "/merged.pdf", mine));
    settings.setIsDefaultPathMConvToPDF(0);

    struct Case {
        const char* what;
        QStringList files;
        rlim_t limit; // 0: none
    } cases[] = {
        {"a damaged file among good ones", {in + "/a.png", in + "/damaged.tif", in + "/c.png"}, 0},
        {"a file gone since the search", {in + "/a.png", in + "/gone.png"}, 0},
        {"a full disk while writing", {in + "/a.png", in + "/c.png"}, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.messages.clear();
        auto d = open(c.files);
        d->ChkDefaultPathMConvToPDF->setChecked(true);
        fake.msgAnswers = {MsgAnswer::Yes};
        {
            std::optional<ScopedFileSizeLimit> limit;
            if (c.limit) limit.emplace(c.limit);
            convert(*d, "merged", out);
        }
        EXPECT_EQ(fake.messageTexts().last(), kFailed);
        EXPECT_EQ(contents(out + "/merged.pdf"), mine);
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"merged.pdf"});
        // The folder is remembered whatever the outcome.
        EXPECT_EQ(settings.IsDefaultPathMConvToPDF(), 1);
        EXPECT_EQ(settings.DefaultPathMConvToPDF(), out);
        expectIdle(*d);
    }
}

TEST_F(SetOrderDialog, AConvertAfterATrappedFailureMergesEachFileOnce) {
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/a.png", 20, 20));
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/b.jpg", 30, 20));
    auto d = open({in + "/a.png", in + "/b.jpg"});
    d->show();
    fake.failOn = kDone; // the first Convert fails after its merge
    convert(*d, "twice", out);
    EXPECT_TRUE(storage.errorLog().contains(" in procedure cmdOk_Click at Line No. "));
    EXPECT_TRUE(d->isVisible()); // a trapped failure leaves the dialog open
    expectIdle(*d);

    fake.msgAnswers = {MsgAnswer::Yes};
    d->cmdOK->click();
    EXPECT_EQ(signatures(out + "/twice.pdf"), (std::vector<Signature>{{20, 20}, {30, 20}}));
    EXPECT_FALSE(d->isVisible());
}

TEST_F(SetOrderDialog, CloseRequestsDuringAMergeAreIgnoredAndTheBarTellsTheTruth) {
    // Pages that pass through: reading them is quick, writing them is the work.
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/big.jpg", 1500, 1500));
    QStringList files;
    for (int i = 0; i < 10; ++i)
        files << in + "/big.jpg";
    auto d = open(files);
    d->show();
    d->ChkOpenFileMConvToPDF->setChecked(true);
    const QString merged = out + "/big.pdf";
    int requests = 0, ticks = 0, stepsBeforeTheEnd = 0;
    QList<int> bar;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    QObject::connect(d->ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        bar << v;
        if (v > 0 && v < 10) ++stepsBeforeTheEnd;
        if (v == 10) {
            EXPECT_TRUE(QFile::exists(merged)); // the last step is the file in place
        }
        if (requests++) return;
        d->cmdCancel->click();
        QTest::keyClick(d.get(), Qt::Key_Escape);
        d->close();
        d->reject();
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(d->cmdOK->isEnabled());
    });
    convert(*d, "big", out);
    ticker.stop();

    EXPECT_EQ(toolfx::readPdf(merged).size(), 10u);
    EXPECT_GT(requests, 1);
    EXPECT_EQ(bar.last(), 10);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_GE(stepsBeforeTheEnd, 3); // the bar moves step by step, never straight to its end
    EXPECT_GT(ticks, 3);             // and the window's events kept running
    EXPECT_EQ(fake.messageTexts(), QStringList{kDone});
    EXPECT_EQ(settings.IsOpenFileMConvToPDF(), 1);
    EXPECT_FALSE(d->isVisible()); // the Convert closed it once the merge had returned
}

TEST_F(SetOrderDialog, ThePageOperationsReportOnTheOpenDialogsBarThroughTheSameCallback) {
    ASSERT_TRUE(toolfx::writeBilevelTiff(in + "/a.tif", 20, 20));
    ASSERT_TRUE(toolfx::writeBilevelTiff(in + "/b.tif", 30, 20));
    auto d = open({in + "/a.tif", in + "/b.tif"});
    d->ProgressBar1->setRange(0, 2);
    QList<int> bar;
    QObject::connect(d->ProgressBar1, &QProgressBar::valueChanged, [&](int v) { bar << v; });
    TiffPdfCommands commands;
    commands.colOrderedData = d->colSelectedData;
    commands.FileNameToSave = out + "/both.tif";
    commands.progress = SetOrderProgress();
    ASSERT_TRUE(commands.CombineOrderTiff());
    EXPECT_EQ(bar, QList<int>({1, 2, 0}));

    d.reset(); // a dialog that has gone is simply not there to report to
    commands.FileNameToSave = out + "/again.tif";
    EXPECT_TRUE(commands.CombineOrderTiff());
}
