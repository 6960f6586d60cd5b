// The clone dialog as a user drives it: its lists and options, the checks before a run,
// a whole job, stop, close and failure during a run, and the offer to resume.
#include "tests/clone/clonefixtures.h"

#include "jobs/clonejobfiles.h"
#include "jobs/clonepass.h"
#include "pageops/apimgtopdf.h"
#include "tests/support/filesizelimit.h"
#include "tools/frmclonedirectory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>

using namespace clonejob;
using namespace clonetest;

class CloneDialog : public ::testing::Test {
protected:
    CloneEnvironment env;
    FakeUiServices& ui = env.ui.fake;
    QString src = env.root + "/src", out = env.root + "/out";
    QStringList converted; // names the converter was given
    std::function<void(frmCloneDirectory&)> atPump;

    CloneDialog() {
        QDir().mkpath(out);
        for (const char* f : {"1.jpg", "2.png", "sub/3.tif", "sub/4.jpg", "sub/5.jpg"})
            makeImage(src + "/" + f);
    }

    std::unique_ptr<frmCloneDirectory> open(bool realEngine = false) {
        auto d = std::make_unique<frmCloneDirectory>();
        d->txtCloningFrom->setText(src);
        d->txtoutputFld->setText(out);
        d->PumpIntervalMs = 0;
        d->SaveFactor = 0;
        if (!realEngine)
            d->Converter = [this](const QString& image, const QString& pdf, auto&&...) {
                converted << image.mid(image.lastIndexOf('/') + 1);
                return writeFile(pdf, "%PDF-1.4 of " + image.toUtf8());
            };
        d->PumpHook = [this, w = d.get()] {
            if (atPump) atPump(*w);
        };
        return d;
    }

    QStringList questions() const {
        QStringList out;
        for (const auto& m : ui.messages)
            if (m.buttons == MsgButtons::YesNo) out << m.text;
        return out;
    }

    static void expectIdle(frmCloneDirectory& d) {
        EXPECT_FALSE(d.IsRunning());
        EXPECT_EQ(d.cmdOk->text(), "&Start");
        EXPECT_TRUE(d.cmdCancel->isEnabled());
        EXPECT_EQ(d.cursor().shape(), Qt::ArrowCursor);
        EXPECT_EQ(d.ProgressBar1->value(), 0);
    }
};

TEST_F(CloneDialog, LoadsListsAndOptionsAndStoresThemOnClose) {
    env.settings.setIsDefaultPathCloneDir(1);
    env.settings.setDefaultPathCloneDir("/remembered");
    auto d = std::make_unique<frmCloneDirectory>();
    EXPECT_EQ(d->txtoutputFld->text(), "/remembered");
    EXPECT_TRUE(d->ChkDefaultPathCloneDir->isChecked());
    EXPECT_EQ(d->cboEncodBW->currentText(), "CCITT-G4");
    EXPECT_FALSE(d->cboEncodGraycale->isEnabled());
    d->chkEncodGraycale->click();
    EXPECT_TRUE(d->cboEncodGraycale->isEnabled());
    d->cboEncodGraycale->setCurrentIndex(1);
    d->chkEncodGraycale->click();
    EXPECT_FALSE(d->cboEncodGraycale->isEnabled());
    EXPECT_EQ(d->cboEncodGraycale->currentText(), "Zip");

    // Cancelling the picker keeps the box; a pick replaces it.
    ui.folderAnswers = {"", "/picked"};
    d->cmdBrwOutFld->click();
    EXPECT_EQ(d->txtoutputFld->text(), "/remembered");
    d->cmdBrwOutFld->click();
    EXPECT_EQ(d->txtoutputFld->text(), "/picked");

    d->txtoutputFld->clear();
    d->ChkOpenFolderCloneDir->setChecked(true);
    d->show();
    d->cmdCancel->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(env.settings.DefaultPathCloneDir(), "");
    EXPECT_EQ(env.settings.IsOpenFolderCloneDir(), 1);
}

TEST_F(CloneDialog, RefusesMissingOrRelativeFoldersBeforeAnythingIsWritten) {
    struct Case {
        QString source, output, message;
    } cases[] = {
        {src, "", "Please select output folder to clone."},
        {src, "out", "Specified output path is not valid."},
        {src, out + "/missing", "Specified output path is not valid."},
        {"", out, "There is no supported image files in the source folder!"},
        {"src", out, "There is no supported image files in the source folder!"},
        {src + "/missing", out, "There is no supported image files in the source folder!"},
    };
    for (const Case& c : cases) {
        auto d = open();
        ui.messages.clear();
        d->txtCloningFrom->setText(c.source);
        d->txtoutputFld->setText(c.output);
        d->cmdOk->click();
        EXPECT_EQ(ui.messageTexts(), QStringList(c.message)) << c.source.toStdString() << " " << c.output.toStdString();
        expectIdle(*d);
        EXPECT_FALSE(QFile::exists(env.xmlPath()));
        EXPECT_EQ(readAll(env.iniPath()), QFile::exists(env.iniPath()) ? "" : "<missing>") << "no job recorded";
    }
}

TEST_F(CloneDialog, AStoredJobIsOfferedWhateverTheSourceBoxHolds) {
    // The resume reads neither folder box: a source box that is empty, relative or gone
    // does not stand in its way.
    for (const QString& source : {QString(), QString("src"), src + "/missing"}) {
        CloneJobFiles files(env.cloneFolder());
        files.saveList(CloneList{"", "", "", {{"1.jpg", src, "1.pdf", out + "/src", ""}}});
        files.writeStartRecord(JobRecord{src, out, "t", "1", "0", "", "NOT FINISHED", "0"});
        ui.messages.clear();
        ui.msgAnswers = {MsgAnswer::Yes};
        converted.clear();
        auto d = open();
        d->txtCloningFrom->setText(source);
        d->cmdOk->click();
        EXPECT_EQ(questions().size(), 1) << source.toStdString();
        EXPECT_EQ(converted, QStringList({"1.jpg"}));
        EXPECT_EQ(d->Frame3->title(), "completed....");
        QFile::remove(out + "/src/1.pdf");
    }
}

TEST_F(CloneDialog, ConvertsATreeWithTheEngineAndReportsCompleted) {
    makeFile(src + "/sub/damaged.jpg");
    // A name the job's files cannot carry is left out, and the log says so.
    const QByteArray badName = QFile::encodeName(src) + "/bad\xff.jpg";
    ::close(::open(badName.constData(), O_CREAT | O_WRONLY, 0644));
    auto d = open(true);
    d->ChkOpenFolderCloneDir->setChecked(true);
    d->chkEncodBW->setChecked(true);
    d->cmdOk->click();

    for (const char* pdf : {"1.pdf", "2.pdf", "sub/3.pdf", "sub/4.pdf", "sub/5.pdf"})
        EXPECT_TRUE(readAll(out + "/src/" + pdf).startsWith("%PDF-")) << pdf;
    EXPECT_FALSE(QFile::exists(out + "/src/sub/damaged.pdf"));
    const QStringList log = d->ProcessingLog().split('\n');
    ::unlink(badName.constData());
    EXPECT_EQ(log.mid(0, 4), QStringList({"Total Files=6", "Clonning_Path : " + src, "Processing.....",
                                          src + "/bad\\xff.jpg.....Left out: its name is not valid UTF-8"}));
    EXPECT_TRUE(log.contains(src + "/sub/damaged.jpg.....Error"));
    EXPECT_TRUE(log.contains(src + "/sub/3.tif.....Completed"));
    EXPECT_EQ(log.last(), "completed....");
    EXPECT_EQ(d->Frame3->title(), "completed....");
    const JobRecord r = d->JobFiles().readRecord();
    EXPECT_EQ(r.STATUS, "FINISHED");
    EXPECT_EQ(r.TOTAL_FILE, "6");
    EXPECT_EQ(r.FILE_COMPLETED, "6");
    EXPECT_FALSE(QFile::exists(env.xmlPath()));
    expectIdle(*d);
    ASSERT_EQ(ui.launches.size(), 1);
    EXPECT_EQ(ui.launches[0].verb, "Explore");
    EXPECT_EQ(ui.launches[0].path, out);
}

TEST_F(CloneDialog, StopDuringThePassKeepsTheJobAndOpeningAgainOffersTheResume) {
    auto d = open();
    d->txtoutputFld->setText(out + "/");
    QStringList seen;
    atPump = [&](frmCloneDirectory& w) {
        seen << w.cmdOk->text() + (w.cmdCancel->isEnabled() ? " close" : "") +
                    (w.cursor().shape() == Qt::BusyCursor ? " busy" : "");
        if (w.FilesCompleted == 2) {
            w.txtoutputFld->setText("/edited/during/the/run");
            w.cmdOk->click();
        }
    };
    d->cmdOk->click();
    EXPECT_TRUE(seen.size() >= 2);
    EXPECT_EQ(seen.filter("Sto&p busy").size(), seen.size()) << seen.join(",").toStdString();
    EXPECT_EQ(converted, QStringList({"1.jpg", "2.png"}));
    EXPECT_EQ(d->Frame3->title(), "terminated....");
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "NOT FINISHED");
    EXPECT_EQ(env.statuses(), QStringList({"Completed", "Completed", "", "", ""}));
    expectIdle(*d);
    d.reset();

    // Opening again: the offer, the boxes from the record, and the rest of the job.
    atPump = nullptr;
    ui.msgAnswers = {MsgAnswer::Yes};
    auto again = open();
    again->txtCloningFrom->clear();
    again->Form_Activate();
    again->Form_Activate(); // activation repeats; the offer does not
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(again->txtCloningFrom->text(), src);
    EXPECT_EQ(again->txtoutputFld->text(), out + "/");
    EXPECT_EQ(converted, QStringList({"1.jpg", "2.png", "3.tif", "4.jpg", "5.jpg"}));
    EXPECT_TRUE(QFile::exists(out + "/src/sub/5.pdf"));
    const QStringList log = again->ProcessingLog().split('\n');
    EXPECT_EQ(log[1], "Clonning_Path : " + src);
    EXPECT_EQ(log[3], src + "/1.jpg.....Completed");
    EXPECT_EQ(log.last(), "completed....");
    EXPECT_EQ(again->JobFiles().readRecord().STATUS, "FINISHED");
    EXPECT_FALSE(QFile::exists(env.xmlPath()));
}

TEST_F(CloneDialog, StopDuringTheScanLeavesNoListAndTheRecordAsItWas) {
    CloneJobFiles(env.cloneFolder()).writeStartRecord(JobRecord{"/old", "/o", "t", "9", "9", "", "FINISHED", "0"});
    const QByteArray ini = readAll(env.iniPath());
    auto d = open();
    atPump = [&](frmCloneDirectory& w) {
        if (w.Frame3->title() == "Searching file(s)...") w.cmdOk->click();
    };
    d->cmdOk->click();
    EXPECT_EQ(d->Frame3->title(), "Cloning Terminated");
    EXPECT_FALSE(QFile::exists(env.xmlPath()));
    EXPECT_EQ(readAll(env.iniPath()), ini);
    EXPECT_TRUE(converted.isEmpty());
    expectIdle(*d);
}

TEST_F(CloneDialog, ClosingDuringARunStopsItAndClosesOnceTheStatusIsWritten) {
    auto d = open();
    d->show();
    atPump = [&](frmCloneDirectory& w) {
        if (w.FilesCompleted == 1) w.close();
    };
    d->cmdOk->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(converted, QStringList({"1.jpg"}));
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "NOT FINISHED");
    EXPECT_EQ(env.statuses().first(), "Completed");
}

TEST_F(CloneDialog, EscapeDuringARunStopsItAsTheCloseBoxDoes) {
    auto d = open();
    d->show();
    atPump = [&](frmCloneDirectory& w) {
        if (w.FilesCompleted == 1) QTest::keyClick(&w, Qt::Key_Escape);
    };
    d->cmdOk->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(converted, QStringList({"1.jpg"}));
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "NOT FINISHED");
}

TEST_F(CloneDialog, WithoutReplaceAPdfThatAppearsWhileItsImageIsConvertedIsKept) {
    auto d = open(true);
    const QString target = out + "/src/2.pdf";
    atPump = [&](frmCloneDirectory& w) {
        // Another program writes the next image's PDF while the engine converts that image.
        if (w.FilesCompleted == 1) QTimer::singleShot(0, [&] { makeFile(target, "someone else's"); });
    };
    d->cmdOk->click();
    EXPECT_EQ(readAll(target), "someone else's");
    EXPECT_TRUE(d->ProcessingLog().contains("/src/2.png.....Already Exists")) << d->ProcessingLog().toStdString();
    EXPECT_EQ(d->Frame3->title(), "completed....");
}

TEST_F(CloneDialog, AFailedSaveTerminatesTheJobAndTheNextStartResumesIt) {
    auto d = open();
    int listSaves = 0;
    std::unique_ptr<ScopedFileSizeLimit> fullDisk;
    CloneJobFiles::setSaveHook([&](CloneJobFiles::SavedFile file) {
        fullDisk.reset();
        // The first save is the scan's; the fourth holds entry 3 of 5.
        if (file == CloneJobFiles::SavedFile::List && ++listSaves == 4)
            fullDisk = std::make_unique<ScopedFileSizeLimit>(64);
    });
    d->cmdOk->click();
    fullDisk.reset();
    CloneJobFiles::setSaveHook({});
    EXPECT_EQ(d->Frame3->title(), "terminated....");
    EXPECT_EQ(d->ProcessingLog().split('\n').last(), "terminated....");
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "NOT FINISHED");
    EXPECT_EQ(converted.size(), 3);
    EXPECT_TRUE(env.logLines().join(" ").contains("Error 61")) << env.storage.errorLog().toStdString();
    expectIdle(*d);

    ui.msgAnswers = {MsgAnswer::Yes};
    d->cmdOk->click();
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(converted, QStringList({"1.jpg", "2.png", "sub/3.tif", "4.jpg", "5.jpg"}).replaceInStrings("sub/", ""));
    EXPECT_EQ(d->Frame3->title(), "completed....");
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "FINISHED");
}

TEST_F(CloneDialog, AFullOutputDiskTerminatesTheJobAndTheNextStartResumesIt) {
    auto d = open(true);
    ApImgToPdf engine;
    const CloneConverter real = engineConverter(engine);
    int calls = 0;
    d->Converter = [&](const QString& image, const QString& pdf, const QString& c, const QString& g,
                       const QString& b, bool replace, bool durable) {
        // From the third image on no PDF fits on the disk (a real EFBIG while it is written).
        std::unique_ptr<ScopedFileSizeLimit> full;
        if (++calls >= 3) full = std::make_unique<ScopedFileSizeLimit>(64);
        return real(image, pdf, c, g, b, replace, durable);
    };
    d->cmdOk->click();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(d->Frame3->title(), "terminated....");
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "NOT FINISHED");
    EXPECT_FALSE(d->ProcessingLog().contains("Error")) << d->ProcessingLog().toStdString();
    // The log says why the job stopped, and that it can go on.
    EXPECT_EQ(d->ProcessingLog().split('\n').mid(-2 + d->ProcessingLog().split('\n').size()),
              QStringList({"Stopped: no space left on the disk for " + out + "/src/sub/3.pdf. The job can be resumed.",
                           "terminated...."}));
    EXPECT_TRUE(env.logLines().join(" ").contains("Error 61")) << env.storage.errorLog().toStdString();
    expectIdle(*d);

    d->Converter = real; // space again
    ui.msgAnswers = {MsgAnswer::Yes};
    d->cmdOk->click();
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(d->Frame3->title(), "completed....");
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "FINISHED");
    for (const char* pdf : {"1.pdf", "2.pdf", "sub/3.pdf", "sub/4.pdf", "sub/5.pdf"})
        EXPECT_TRUE(readAll(out + "/src/" + pdf).startsWith("%PDF")) << pdf;
}

TEST_F(CloneDialog, ADamagedListEndsTheResumeAsTerminatedAndIsNotOfferedAgain) {
    CloneJobFiles(env.cloneFolder()).writeStartRecord(JobRecord{src, out, "t", "5", "0", "", "NOT FINISHED", "0"});
    makeFile(env.xmlPath(), "<Clone><Files><File name=");
    ui.msgAnswers = {MsgAnswer::Yes};
    auto d = open();
    d->Form_Activate();
    EXPECT_EQ(d->Frame3->title(), "terminated....");
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "FINISHED");
    EXPECT_TRUE(env.logLines().join(" ").contains("in procedure ProcessClone"));
    expectIdle(*d);
    d->cmdOk->click(); // no offer now: a fresh job
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(converted.size(), 5);
}

TEST_F(CloneDialog, AnyStoredTotalLetsTheResumeRunToItsEnd) {
    const std::pair<QString, QString> cases[] = {{"40000", "40000"}, {"", "2"}, {"abc", "2"}, {"-5", "2"}};
    for (const auto& [stored, shown] : cases) {
        CloneJobFiles files(env.cloneFolder());
        files.saveList(CloneList{"", "", "", {{"1.jpg", src, "1.pdf", out, ""}, {"2.png", src, "2.pdf", out, ""}}});
        files.writeStartRecord(JobRecord{src, out, "t", stored, "0", "", "NOT FINISHED", "0"});
        ui.msgAnswers = {MsgAnswer::Yes};
        auto d = open();
        d->Form_Activate();
        EXPECT_EQ(d->ProcessingLog().split('\n').first(), "Total Files=" + shown) << stored.toStdString();
        EXPECT_EQ(d->Frame3->title(), "completed....");
        expectIdle(*d);
    }
}

TEST_F(CloneDialog, AFailureInARunLeavesTheDialogIdle) {
    auto d = open();
    d->Converter = [](auto&&...) -> bool { throw std::runtime_error("engine exploded"); };
    d->cmdOk->click();
    EXPECT_EQ(d->Frame3->title(), "terminated....");
    expectIdle(*d);
    EXPECT_EQ(d->JobFiles().readRecord().STATUS, "NOT FINISHED") << "the list still loads: resumable";

    // A start that cannot even write its list.
    QFile::remove(env.xmlPath());
    ASSERT_TRUE(QDir().mkpath(env.xmlPath()));
    auto other = open();
    other->cmdOk->click();
    EXPECT_EQ(other->Frame3->title(), "terminated....");
    expectIdle(*other);
}

TEST_F(CloneDialog, ATreeWithoutImagesShowsTheNoticeAndKeepsAnUnfinishedJob) {
    CloneJobFiles files(env.cloneFolder());
    files.saveList(CloneList{"", "", "", {{"1.jpg", src, "1.pdf", out, ""}}});
    files.writeStartRecord(JobRecord{src, out, "t", "1", "0", "", "NOT FINISHED", "0"});
    auto d = open();
    d->txtCloningFrom->setText(out);
    d->cmdOk->click(); // the offer is declined
    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_EQ(ui.messages[1].text, "There is no supported image files in the source folder!");
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::Exclamation);
    expectIdle(*d);
    d->cmdOk->click();
    EXPECT_EQ(questions().size(), 2) << "the earlier job is still there to resume";
}
