// The image-to-PDF dialog over real files: compressions per colour class, failures in the
// report, existing and colliding targets, PDFs beside their images, close requests mid-run.
#include "tools/frmconimagetopdf.h"

#include "core/globals.h"
#include "core/settings.h"
#include "gui/widgets/flexgrid.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"
#include "tests/tools/tooldialogprocess.h"
#include "tests/tools/toolfixtures.h"
#include "tools/frmerrorreportdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <sys/fsuid.h>
#include <unistd.h>

namespace {

const QString kHeading = "Image To Pdf Converesion error";
const QString kSubject = "Following file(s) couldn't Converted";
const QString kAllDone = "Successfully Converted all file(s).";

class ImageToPdfDialog : public ::testing::Test {
protected:
    ScopedToolProcess process;
    Settings& settings = process.settings;
    ScopedFakeUi ui;
    QTemporaryDir dir;
    QString root = QDir(dir.path()).canonicalPath();
    QStringList reports; // the text of every error report shown

    ImageToPdfDialog() {
        ui.fake.onShowModal = [this](QObject* dialog) {
            if (auto* report = qobject_cast<frmErrorReportDialog*>(dialog)) reports << report->ReportText();
            return 0;
        };
    }

    QString path(const QString& relative) const { return root + "/" + relative; }
    QString mkdir(const QString& relative) const {
        QDir().mkpath(path(relative));
        return path(relative);
    }

    std::unique_ptr<frmConImageToPdf> open(const QStringList& files) {
        auto d = std::make_unique<frmConImageToPdf>();
        for (const QString& file : files) {
            clsColSetOrderGrid r;
            const qsizetype slash = file.lastIndexOf('/');
            r.setFileLocation(file.left(slash));
            r.setFilename(file.mid(slash + 1));
            d->colSelectedData.append(r);
        }
        d->Form_Load();
        return d;
    }

    static void choose(QCheckBox* box, QComboBox* list, const QString& name) {
        if (!box->isChecked()) box->click();
        list->setCurrentText(name);
    }

    static QString report(const QStringList& failed) {
        const QString eq(51, '='), dash(51, '-');
        return eq + "\r\n" + kHeading + "\r\n" + eq + "\r\n" + dash + "\r\n" + kSubject + "\r\n" + dash + "\r\n\r\n" +
               failed.join("\r\n") + "\r\n\r\n\r\n";
    }

    static std::vector<std::string> filters(const QString& pdf) {
        std::vector<std::string> out;
        for (const toolfx::PdfPage& page : toolfx::readPdf(pdf))
            out.push_back(page.filter);
        return out;
    }

    // Root may write anywhere; for this thread's file checks it stands in for an ordinary user.
    struct AsOrdinaryUser {
        const bool root = ::geteuid() == 0;
        AsOrdinaryUser() {
            if (root) ::setfsgid(65534), ::setfsuid(65534);
        }
        ~AsOrdinaryUser() {
            if (root) ::setfsuid(0), ::setfsgid(0);
        }
    };

    static void expectIdle(frmConImageToPdf& d) {
        EXPECT_FALSE(d.Running());
        EXPECT_TRUE(d.cmdConvert->isEnabled());
        EXPECT_EQ(d.ProgressBar1->value(), 0);
        EXPECT_EQ(d.cursor().shape(), Qt::ArrowCursor);
    }
};

} // namespace

TEST_F(ImageToPdfDialog, EachImageGetsItsOwnClasssCompressionAndADamagedOneIsReportedAlone) {
    const QString in = mkdir("in"), out = mkdir("out");
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/colour.jpg", 60, 40));
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/grey.png", 50, 30));
    ASSERT_TRUE(toolfx::writeBilevelTiff(in + "/bw.tif", 64, 48));
    ASSERT_TRUE(toolfx::writeGreyTiff(in + "/three.tif", 40, 30, 3));
    ASSERT_TRUE(writeFile(in + "/damaged.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'x')));
    auto d = open({in + "/colour.jpg", in + "/damaged.png", in + "/grey.png", in + "/bw.tif", in + "/three.tif"});
    ASSERT_EQ(d->vsFilesSetOrder->Rows(), 6);
    EXPECT_EQ(d->cboEncodBW->currentText(), "CCITT-G4"); // the preselection
    EXPECT_FALSE(d->cboEncodBW->isEnabled());

    choose(d->chkEncodColor, d->cboEncodTrueColor, "Zip");
    choose(d->chkEncodGraycale, d->cboEncodGraycale, "Packbits");
    choose(d->chkEncodBW, d->cboEncodBW, "CCITT-G4");
    d->txtOutputFolder->setText(out);
    QList<int> progress;
    QObject::connect(d->ProgressBar1, &QProgressBar::valueChanged, [&](int value) { progress << value; });
    d->cmdConvert->click();

    EXPECT_EQ(filters(out + "/colour.pdf"), std::vector<std::string>{"/FlateDecode"});
    EXPECT_EQ(filters(out + "/grey.pdf"), std::vector<std::string>{"/RunLengthDecode"});
    EXPECT_EQ(filters(out + "/bw.pdf"), std::vector<std::string>{"/CCITTFaxDecode"});
    EXPECT_EQ(filters(out + "/three.pdf"), std::vector<std::string>(3, "/RunLengthDecode"));
    EXPECT_FALSE(QFile::exists(out + "/damaged.pdf"));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 4); // no temporary left behind
    // The bar climbs to every file done, then rests at 0.
    ASSERT_GE(progress.size(), 2);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
    EXPECT_EQ(progress.mid(progress.size() - 2), QList<int>({5, 0}));

    EXPECT_EQ(reports, QStringList{report({in + "/damaged.png"})});
    EXPECT_FALSE(ui.fake.messageTexts().contains(kAllDone));
    EXPECT_EQ(d->LastRun().converted, 4);
    expectIdle(*d);
}

TEST_F(ImageToPdfDialog, AFailedWriteIsAFailureAndTheExistingTargetStaysAsItWas) {
    const QString in = mkdir("in"), out = mkdir("out");
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/big.png", 400, 400));
    ASSERT_TRUE(writeFile(out + "/big.pdf", "the user's own file"));
    auto d = open({in + "/big.png"});
    d->chkReplace->click();
    d->txtOutputFolder->setText(out);
    {
        ScopedFileSizeLimit limit(2048);
        d->cmdConvert->click();
    }
    EXPECT_EQ(readFile(out + "/big.pdf"), "the user's own file");
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"big.pdf"});
    EXPECT_EQ(reports, QStringList{report({in + "/big.png"})});
    EXPECT_FALSE(ui.fake.messageTexts().contains(kAllDone));
}

TEST_F(ImageToPdfDialog, WithoutReplaceEveryExistingTargetIsKeptHiddenOnesTooWithReplaceItIsReplaced) {
    const QString in = mkdir("in"), out = mkdir("out");
    for (const char* name : {"x.jpg", ".hidden.jpg", "link.jpg"})
        ASSERT_TRUE(toolfx::writeColourJpeg(in + "/" + name, 30, 20));
    ASSERT_TRUE(writeFile(out + "/x.pdf", "mine"));
    ASSERT_TRUE(writeFile(out + "/.hidden.pdf", "hidden and mine"));
    ASSERT_TRUE(QFile::link(out + "/nowhere", out + "/link.pdf")); // a link to nothing yet

    auto d = open({in + "/x.jpg", in + "/.hidden.jpg", in + "/link.jpg"});
    d->txtOutputFolder->setText(out);
    d->cmdConvert->click();
    EXPECT_EQ(readFile(out + "/x.pdf"), "mine");
    EXPECT_EQ(readFile(out + "/.hidden.pdf"), "hidden and mine");
    EXPECT_TRUE(QFileInfo(out + "/link.pdf").isSymLink());
    EXPECT_FALSE(QFile::exists(out + "/nowhere"));
    EXPECT_EQ(d->LastRun().skipped, 3);
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{kAllDone}); // skipped files are not failures
    EXPECT_TRUE(reports.isEmpty());

    d->chkReplace->click();
    d->cmdConvert->click();
    EXPECT_EQ(toolfx::readPdf(out + "/x.pdf").size(), 1u);
    EXPECT_EQ(toolfx::readPdf(out + "/.hidden.pdf").size(), 1u);
    EXPECT_EQ(d->LastRun().converted, 3);
}

TEST_F(ImageToPdfDialog, ASecondSourceForATargetThisRunWroteIsReportedNotWrittenOverIt) {
    const QString a = mkdir("a"), b = mkdir("b"), out = mkdir("out");
    ASSERT_TRUE(toolfx::writeColourJpeg(a + "/photo.jpg", 30, 20));
    ASSERT_TRUE(toolfx::writeGreyTiff(a + "/photo.tif", 20, 10, 2));
    ASSERT_TRUE(toolfx::writeColourJpeg(a + "/scan.jpg", 30, 20));
    ASSERT_TRUE(toolfx::writeGreyPng(b + "/scan.jpg.png", 10, 10));
    ASSERT_TRUE(toolfx::writeGreyTiff(b + "/scan.jpg", 10, 10, 3)); // the same name, another folder
    auto d = open({a + "/photo.jpg", a + "/photo.tif", a + "/scan.jpg", b + "/scan.jpg"});
    d->chkReplace->click();
    d->txtOutputFolder->setText(root + "/a/../out"); // another spelling of the same folder
    d->cmdConvert->click();

    EXPECT_EQ(toolfx::readPdf(out + "/photo.pdf").size(), 1u); // the JPEG's, not the TIFF's two pages
    EXPECT_EQ(toolfx::readPdf(out + "/scan.pdf").size(), 1u);
    EXPECT_EQ(reports, QStringList{report({a + "/photo.tif", b + "/scan.jpg"})});

    // A new run starts afresh: with Replace on, the same files may be written again.
    reports.clear();
    auto again = open({a + "/photo.tif"});
    again->chkReplace->click();
    again->txtOutputFolder->setText(out);
    again->cmdConvert->click();
    EXPECT_EQ(toolfx::readPdf(out + "/photo.pdf").size(), 2u);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(ImageToPdfDialog, WithoutAnOutputFolderEachPdfGoesBesideItsImageAndTheBoxThenNamesTheLastFolder) {
    const QString a = mkdir("A"), b = mkdir("B"), c = mkdir("C");
    ASSERT_TRUE(toolfx::writeColourJpeg(a + "/photo.final.jpg", 20, 20));
    ASSERT_TRUE(toolfx::writeGreyPng(b + "/README", 20, 20)); // no "." in the name
    ASSERT_TRUE(toolfx::writeBilevelTiff(c + "/c.tif", 16, 16));
    settings.setIsDefaultPathConImgTiff(1);
    settings.setDefaultPathConImgTiff("   ");
    settings.setIsOpenFolderConImgTiff(1);

    auto d = open({a + "/photo.final.jpg", b + "/README", c + "/c.tif"});
    EXPECT_EQ(d->txtOutputFolder->text(), "   ");
    EXPECT_TRUE(d->ChkOpenFolderConImgTiff->isChecked());
    ui.fake.msgAnswers = {MsgAnswer::No};
    d->cmdConvert->click();
    EXPECT_FALSE(QFile::exists(a + "/photo.final.pdf"));
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "There is no output folder selected so application will store files in "
                                        "source file folder.\r\nDo you want to continue without output folder?");
    EXPECT_EQ(ui.fake.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(d->txtOutputFolder->text(), "   ");

    ui.fake.msgAnswers = {MsgAnswer::Yes};
    d->cmdConvert->click();
    EXPECT_EQ(toolfx::readPdf(a + "/photo.final.pdf").size(), 1u);
    EXPECT_EQ(toolfx::readPdf(b + "/README.pdf").size(), 1u);
    EXPECT_EQ(toolfx::readPdf(c + "/c.pdf").size(), 1u);
    // The box names the last row's folder, which is the folder remembered and opened.
    EXPECT_EQ(d->txtOutputFolder->text(), c);
    EXPECT_EQ(settings.DefaultPathConImgTiff(), c);
    ASSERT_EQ(ui.fake.launches.size(), 1);
    EXPECT_EQ(ui.fake.launches.back().verb, "Explore");
    EXPECT_EQ(ui.fake.launches.back().path, c);
    EXPECT_TRUE(QDir(root).entryList(QStringList{"*.pdf"}, QDir::Files).isEmpty());
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(ImageToPdfDialog, EveryFailedFileIsReportedAndGetsOneErrorLogLineWithItsReason) {
    const QString in = mkdir("in"), out = mkdir("out");
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/photo.jpg", 30, 20));
    ASSERT_TRUE(toolfx::writeGreyTiff(in + "/photo.tif", 20, 10, 2)); // the same PDF name
    ASSERT_TRUE(writeFile(in + "/damaged.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'x')));
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/folder.png", 10, 10));
    ASSERT_TRUE(QDir().mkpath(out + "/folder.pdf")); // a folder where the PDF should go, Replace off
    auto d = open({in + "/photo.jpg", in + "/photo.tif", in + "/damaged.png", in + "/folder.png"});
    d->txtOutputFolder->setText(out);
    d->cmdConvert->click();

    // The report keeps its one section of paths; the reasons go to the error log.
    EXPECT_EQ(reports, QStringList{report({in + "/photo.tif", in + "/damaged.png", in + "/folder.png"})});
    EXPECT_FALSE(ui.fake.messageTexts().contains(kAllDone));
    EXPECT_TRUE(QFileInfo(out + "/folder.pdf").isDir());
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.pdf"});

    const QStringList lines = process.storage.errorLog().split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << process.storage.errorLog().toStdString();
    const struct {
        QString reason, procedure;
    } expected[] = {
        {"another file of this run was written to " + out + "/photo.pdf",
         " in procedure cmdconvert_Click at Line No. "},
        {"ApAddImage " + in + "/damaged.png: ", " in procedure ConverImageToPdf at Line No. "},
        {"cannot write " + out + "/folder.pdf: Is a directory",
         " in procedure ConverImageToPdf at Line No. "},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(lines[i].toStdString());
        EXPECT_TRUE(lines[i].startsWith("Error "));
        EXPECT_TRUE(lines[i].contains(expected[i].reason));
        EXPECT_TRUE(lines[i].contains(expected[i].procedure));
        EXPECT_TRUE(lines[i].contains(QRegularExpression(" at time- \\d\\d/\\d\\d/\\d{4} ")));
    }
}

TEST_F(ImageToPdfDialog, AnOutputFolderThatCannotBeWrittenIsRefusedBeforeTheRun) {
    const QString in = mkdir("in"), out = mkdir("out");
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/a.jpg", 20, 20));
    auto d = open({in + "/a.jpg"});
    d->show();
    d->txtOutputFolder->setText(out);
    ASSERT_TRUE(QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(
        QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    {
        AsOrdinaryUser user;
        d->cmdConvert->setFocus();
        d->cmdConvert->click();
    }
    QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text,
              "The output folder \"" + out + "\" cannot be written to: Permission denied.");
    EXPECT_EQ(ui.fake.messages[0].title, "Quillmere 3.1");
    EXPECT_EQ(d->focusWidget(), d->txtOutputFolder);
    EXPECT_TRUE(reports.isEmpty()); // no file listed as failed: the run never started
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_TRUE(process.storage.errorLog().isEmpty());
    expectIdle(*d);
    d->close();
}

TEST_F(ImageToPdfDialog, ANameThatIsNotTheFilesBytesIsReportedAndNoOtherFileIsConvertedInItsPlace) {
    const QString in = mkdir("in"), out = mkdir("out");
    const QByteArray badName = QFile::encodeName(in) + "/scan\xff.jpg";
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/good.jpg", 20, 20));
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/made.jpg", 20, 20));
    ASSERT_EQ(::rename(QFile::encodeName(in + "/made.jpg").constData(), badName.constData()), 0);
    const QString shown = QFile::decodeName(badName); // what the search puts in the grid
    ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
    // The file the shown text really names exists too; it must not stand in for the other.
    ASSERT_TRUE(toolfx::writeColourJpeg(shown, 20, 20));
    auto d = open({shown, in + "/good.jpg"});
    d->txtOutputFolder->setText(out);
    d->cmdConvert->click();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"good.pdf"});
    EXPECT_EQ(reports, QStringList{report({shown})});
    ::unlink(badName.constData()); // Qt cannot name it to remove it
}

TEST_F(ImageToPdfDialog, AMissingFolderStopsTheRunWithItsMessageAndTheFocusInTheBox) {
    const QString in = mkdir("in");
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/a.jpg", 20, 20));
    ASSERT_TRUE(writeFile(path("afile"), "x"));
    auto d = open({in + "/a.jpg"});
    d->show();
    for (const QString& folder : {path("missing"), path("afile")}) {
        d->txtOutputFolder->setText(folder);
        d->cmdConvert->setFocus();
        d->cmdConvert->click();
        EXPECT_EQ(ui.fake.messageTexts().constLast(), "Please enter Valid folder Name");
        EXPECT_EQ(d->focusWidget(), d->txtOutputFolder);
    }
    EXPECT_EQ(QDir(in).entryList(QDir::Files), QStringList{"a.jpg"});

    // The picker fills the box; cancelling it leaves the box as it was.
    ui.fake.folderAnswers = {in};
    d->cmdBrowseFolder->click();
    EXPECT_EQ(d->txtOutputFolder->text(), in);
    d->cmdBrowseFolder->click();
    EXPECT_EQ(d->txtOutputFolder->text(), in);
    d->close();
}

TEST_F(ImageToPdfDialog, EnterInTheFolderBoxNeitherRunsNorOpensThePicker) {
    const QString in = mkdir("in");
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/a.jpg", 20, 20));
    auto d = open({in + "/a.jpg"});
    d->show();
    QApplication::setActiveWindow(d.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
    d->txtOutputFolder->setText(in);
    d->txtOutputFolder->setFocus();
    QTest::keyClick(d->txtOutputFolder, Qt::Key_Return);
    EXPECT_TRUE(ui.fake.folderRequests.isEmpty());
    EXPECT_TRUE(ui.fake.messages.isEmpty());
    EXPECT_EQ(QDir(in).entryList(QDir::Files), QStringList{"a.jpg"});
    EXPECT_TRUE(d->isVisible());
    d->close();
}

TEST_F(ImageToPdfDialog, CloseRequestsDuringARunAreIgnoredAndTheRunFinishes) {
    const QString in = mkdir("in"), out = mkdir("out");
    QStringList files;
    for (int i = 0; i < 4; ++i) {
        files << in + QString("/p%1.png").arg(i);
        ASSERT_TRUE(toolfx::writeGreyPng(files.back(), 30, 30));
    }
    auto d = open(files);
    d->show();
    d->txtOutputFolder->setText(out);
    d->ChkOpenFolderConImgTiff->setChecked(true);
    int pumps = 0;
    d->RunPumpHook = [&] {
        if (++pumps != 2) return;
        d->cmdCancel->click();
        QTest::keyClick(d.get(), Qt::Key_Escape);
        d->close();
        d->reject();
        EXPECT_TRUE(d->isVisible());
    };
    d->cmdConvert->click();
    EXPECT_EQ(pumps, 4);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 4);
    EXPECT_EQ(ui.fake.messageTexts(), QStringList{kAllDone});
    EXPECT_EQ(settings.IsOpenFolderConImgTiff(), 1);
    expectIdle(*d);

    // Idle again, the window closes as usual and keeps the choices it closed with.
    d->ChkOpenFolderConImgTiff->setChecked(false);
    d->cmdCancel->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(settings.IsOpenFolderConImgTiff(), 0);
}

namespace {

// The filter of a one-page PDF's image, with the fax coding's K when it has one ("/CCITTFaxDecode K-1").
std::string imageCoding(const QString& pdf) {
    try {
        QPDF doc;
        doc.processFile(QFile::encodeName(pdf).constData());
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(doc).getAllPages())
            for (auto& [name, image] : page.getImages()) {
                QPDFObjectHandle dict = image.getDict();
                std::string coding = dict.getKey("/Filter").isName() ? dict.getKey("/Filter").getName() : "";
                QPDFObjectHandle parms = dict.getKey("/DecodeParms");
                if (parms.isDictionary() && parms.getKey("/K").isInteger())
                    coding += " K" + std::to_string(parms.getKey("/K").getIntValue());
                return coding;
            }
    } catch (const std::exception&) {
    }
    return "unreadable";
}

} // namespace

TEST_F(ImageToPdfDialog, EachListOffersItsNamesInOrderAndTheEntryShownIsTheOneApplied) {
    const QString in = mkdir("in");
    ASSERT_TRUE(toolfx::writeColourJpeg(in + "/colour.jpg", 60, 40));
    ASSERT_TRUE(toolfx::writeGreyPng(in + "/grey.png", 50, 30));
    ASSERT_TRUE(toolfx::writeBilevelTiff(in + "/bw.tif", 64, 48));
    auto d = open({in + "/colour.jpg", in + "/grey.png", in + "/bw.tif"});
    const auto texts = [](QComboBox* list) {
        QStringList all;
        for (int i = 0; i < list->count(); ++i)
            all << list->itemText(i);
        return all.join(',').toStdString();
    };
    EXPECT_EQ(texts(d->cboEncodTrueColor), "Lzw,Zip,Packbits,Jpeg");
    EXPECT_EQ(texts(d->cboEncodGraycale), "Lzw,Zip,Packbits,Jpeg");
    EXPECT_EQ(texts(d->cboEncodBW), "Lzw,Zip,CCITT-G3,CCITT-G4");
    EXPECT_EQ(d->cboEncodTrueColor->currentText(), "Jpeg");
    EXPECT_EQ(d->cboEncodGraycale->currentText(), "Jpeg");

    // Round i takes entry i of every list; each image shows the coding of its own class's entry.
    const std::vector<std::vector<std::string>> expected{
        {"/LZWDecode", "/LZWDecode", "/LZWDecode"},
        {"/FlateDecode", "/FlateDecode", "/FlateDecode"},
        {"/RunLengthDecode", "/RunLengthDecode", "/CCITTFaxDecode K0"},
        {"/DCTDecode", "/DCTDecode", "/CCITTFaxDecode K-1"},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        for (auto [box, list] : {std::pair{d->chkEncodColor, d->cboEncodTrueColor},
                                 std::pair{d->chkEncodGraycale, d->cboEncodGraycale},
                                 std::pair{d->chkEncodBW, d->cboEncodBW}})
            choose(box, list, list->itemText(i));
        const QString out = mkdir(QString::number(i));
        d->txtOutputFolder->setText(out);
        d->cmdConvert->click();
        EXPECT_EQ(d->LastRun().converted, 3);
        EXPECT_EQ((std::vector<std::string>{imageCoding(out + "/colour.pdf"), imageCoding(out + "/grey.pdf"),
                                            imageCoding(out + "/bw.pdf")}),
                  expected[size_t(i)]);
    }
}
