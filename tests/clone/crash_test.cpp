// A job killed right after each step of its pass, and just before each write of its files:
// both files still read, no PDF is cut short, and the resume gives every entry its true
// status and converts exactly the entries that were not decided before the kill.
#include "tests/clone/clonefixtures.h"

#include "jobs/clonejobfiles.h"
#include "pageops/apimgtopdf.h"
#include "tools/frmclonedirectory.h"

#include <QCheckBox>
#include <QProcess>
#include <map>
#include <memory>

using namespace clonejob;
using namespace clonetest;

namespace {

// One run of clone_child, in a data and an output folder of its own.
struct ChildRun {
    QString factor, kill, data, out;
    std::unique_ptr<QProcess> process;
    bool killed = false;
    int decided = -1; // entries recorded before the kill
    QByteArray said;

    void start(const QString& src) {
        process = std::make_unique<QProcess>();
        process->start(QStringLiteral(QM_CLONE_CHILD), {data, src, out, factor, kill});
    }
    void finish() {
        EXPECT_TRUE(process->waitForFinished(120000));
        said = process->readAllStandardOutput().trimmed();
        killed = process->exitStatus() == QProcess::CrashExit;
        if (said.startsWith("decided ")) decided = said.mid(8).toInt();
        EXPECT_EQ(killed, decided >= 0) << said.constData();
    }
};

// A complete PDF ends with its end-of-file marker.
bool completePdf(const QString& path) {
    const QByteArray pdf = readAll(path);
    return pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF");
}

} // namespace

// Which steps of which pass are killed: folding after every entry (factor 0), and only at the
// end (50), so kills fall both beside checkpoints and on a journal that carries the whole pass.
// One case per kind of step keeps each case short, however slow the build or busy the machine.
struct KillPlan {
    const char* factor;
    const char* kind;
    int resumes; // kills each case must at least resume from (those that land mid-job)
};

void PrintTo(const KillPlan& plan, std::ostream* os) { *os << plan.kind << " at factor " << plan.factor; }

class CloneCrash : public ::testing::TestWithParam<KillPlan> {};

TEST_P(CloneCrash, AJobKilledAtAnyStepResumesWithEveryStatusKept) {
    const QString factor = QString::fromLatin1(GetParam().factor);
    const QString kind = QString::fromLatin1(GetParam().kind);
    CloneEnvironment env;
    const QString src = env.root + "/src";
    // In the order the job lists them, with the status each must end with.
    const std::pair<QString, QString> entries[] = {{"1.jpg", "Completed"},      {"2.png", "Completed"},
                                                   {"5.jpg", "Already Exists"}, {"sub/3.tif", "Completed"},
                                                   {"sub/4.jpg", "Completed"},  {"sub/bad.jpg", "Error"}};
    for (const auto& [name, status] : entries)
        if (name != "sub/bad.jpg") makeImage(src + "/" + name);
    makeFile(src + "/sub/bad.jpg", "not an image");
    const QStringList pdfs = {"1.pdf", "2.pdf", "sub/3.pdf", "sub/4.pdf"};

    int made = 0;
    const auto newRun = [&](const QString& factor, const QString& kill) {
        auto run = std::make_unique<ChildRun>();
        const QString root = QString("%1/run%2").arg(env.root).arg(made++);
        run->factor = factor;
        run->kill = kill;
        run->data = root + "/data";
        run->out = root + "/out";
        makeFile(run->out + "/src/5.pdf", "the user's own");
        return run;
    };
    // A whole run counts the steps of each kind; then one run is killed at each of them.
    std::vector<std::unique_ptr<ChildRun>> runs;
    {
        const auto whole = newRun(factor, "none");
        whole->start(src);
        whole->finish();
        const QList<QByteArray> counts = whole->said.split(' ');
        std::map<QString, int> met;
        for (qsizetype i = 0; i + 1 < counts.size(); i += 2)
            met[QString::fromLatin1(counts[i])] = counts[i + 1].toInt();
        EXPECT_GE(met["write"], 4) << whole->said.constData();
        EXPECT_GE(met[kind], 1) << whole->said.constData();
        for (int n = 1; n <= met[kind]; ++n)
            runs.push_back(newRun(factor, kind + ":" + QString::number(n)));
    }
    // The children run a few at a time; their resumes one after another, here.
    constexpr size_t kAtOnce = 4;
    for (size_t first = 0; first < runs.size(); first += kAtOnce) {
        const size_t last = std::min(runs.size(), first + kAtOnce);
        for (size_t k = first; k < last; ++k)
            runs[k]->start(src);
        for (size_t k = first; k < last; ++k)
            runs[k]->finish();
    }

    int resumed = 0;
    const QString storage = StoragePath;
    for (const auto& run : runs) {
        const ChildRun& child = *run;
        SCOPED_TRACE(QString("factor %1 %2: %3").arg(child.factor, child.kill, child.said).toStdString());
        // Steps whose count varies (a sync ends when the disk is done) may not come again.
        if (!child.killed) continue;
        const QString out = child.out;
        for (const QString& pdf : pdfs) {
            if (QFile::exists(out + "/src/" + pdf)) {
                EXPECT_TRUE(completePdf(out + "/src/" + pdf)) << pdf.toStdString();
            }
        }
        StoragePath = child.data;
        CloneJobFiles files(child.data + "/Clone");
        if (!files.isResumable(files.readRecord())) {
            // Before the job was recorded, or after it ended.
            EXPECT_TRUE(child.decided == 0 || child.decided == 6) << child.decided;
            continue;
        }
        ++resumed;

        env.ui.fake.msgAnswers = {MsgAnswer::Yes};
        QStringList converted;
        frmCloneDirectory d;
        d.Converter = [&](const QString& image, const QString& pdf, const QString& c, const QString& g,
                          const QString& b, bool replace, bool durable) {
            converted << image.mid(src.size() + 1);
            ApImgToPdf engine;
            engine.SetDurableOutputs(durable);
            return engine.ConverImageToPdf(image, pdf, c, g, b, replace);
        };
        d.Form_Activate();
        EXPECT_FALSE(d.chkReplace->isChecked());

        QStringList expectConverted, statuses, expectStatuses;
        const QStringList log = d.ProcessingLog().split('\n');
        for (int k = 0; k < 6; ++k) {
            const auto& [name, status] = entries[k];
            if (k >= child.decided && name != "5.jpg") expectConverted << name;
            expectStatuses << status;
            const QStringList line = log.filter(src + "/" + name + ".....");
            statuses << (line.size() == 1 ? line[0].mid(line[0].indexOf(".....") + 5) : "?");
        }
        EXPECT_EQ(converted, expectConverted);
        EXPECT_EQ(statuses, expectStatuses);
        EXPECT_EQ(files.readRecord().STATUS, "FINISHED");
        EXPECT_FALSE(QFile::exists(files.xmlPath()));
        EXPECT_FALSE(QFile::exists(files.journalPath()));
        for (const QString& pdf : pdfs)
            EXPECT_TRUE(completePdf(out + "/src/" + pdf)) << pdf.toStdString();
        EXPECT_EQ(readAll(out + "/src/5.pdf"), "the user's own");
    }
    StoragePath = storage;
    EXPECT_GE(resumed, GetParam().resumes);
}

INSTANTIATE_TEST_SUITE_P(EachStep, CloneCrash,
                         // Writes at factor 50 come only before the job is recorded and after it
                         // ends; syncs and claims come as often as the disk's pace makes them.
                         ::testing::Values(KillPlan{"0", "write", 10}, KillPlan{"0", "checkpoint", 3},
                                           KillPlan{"50", "write", 0}, KillPlan{"50", "placed", 3},
                                           KillPlan{"50", "record", 3}, KillPlan{"50", "synced", 0},
                                           KillPlan{"50", "claimed", 0}),
                         [](const auto& info) {
                             return std::string(info.param.kind) + "_Factor" + info.param.factor;
                         });
