// A job killed at each write of its files: both files still read, no PDF is cut short,
// and the resume converts exactly the entries the list still holds as waiting.
#include "tests/clone/clonefixtures.h"

#include "platform/profile/privateprofile.h"
#include "tools/clonejobfiles.h"
#include "tools/apimgtopdf.h"
#include "tools/frmclonedirectory.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QSet>

using namespace clonejob;
using namespace clonetest;

namespace {

struct ChildRun {
    bool killed = false;
    QByteArray output;
};

ChildRun runChild(const QString& data, const QString& src, const QString& out, int killAt) {
    QProcess child;
    child.start(QStringLiteral(QM_CLONE_CHILD), {data, src, out, QString::number(killAt)});
    EXPECT_TRUE(child.waitForFinished(60000));
    ChildRun r;
    r.killed = child.exitStatus() == QProcess::CrashExit;
    r.output = child.readAllStandardOutput().trimmed();
    return r;
}

// A complete PDF ends with its end-of-file marker.
bool completePdf(const QString& path) {
    const QByteArray pdf = readAll(path);
    return pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF");
}

} // namespace

TEST(CloneCrash, AJobKilledAtAnyWriteResumesWithNothingLost) {
    CloneEnvironment env;
    const QString src = env.root + "/src", out = env.root + "/out";
    for (const char* f : {"1.jpg", "2.png", "sub/3.tif", "sub/4.jpg"})
        makeImage(src + "/" + f);
    QDir().mkpath(out);

    const ChildRun whole = runChild(StoragePath, src, out, 0);
    ASSERT_FALSE(whole.killed);
    const int writes = whole.output.toInt();
    ASSERT_GE(writes, 10) << "the record, the list, a save per entry, the end";

    int resumed = 0;
    for (int killAt = 1; killAt <= writes; ++killAt) {
        SCOPED_TRACE(killAt);
        QDir(env.cloneFolder()).removeRecursively();
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        ASSERT_TRUE(runChild(StoragePath, src, out, killAt).killed);

        // Both files read; no PDF is cut short.
        const QByteArray ini = QFile::exists(env.iniPath()) ? readAll(env.iniPath()) : QByteArray();
        if (!ini.isEmpty()) {
            EXPECT_TRUE(ini.startsWith("[CLONE]\n") && ini.endsWith('\n')) << ini.constData();
        }
        const auto stored = loadCloneList(env.xmlPath());
        EXPECT_EQ(stored.has_value(), QFile::exists(env.xmlPath()));
        for (const QFileInfo& pdf : QDir(out + "/src").entryInfoList({"*.pdf"}) + QDir(out + "/src/sub").entryInfoList({"*.pdf"}))
            EXPECT_TRUE(completePdf(pdf.filePath())) << pdf.filePath().toStdString();

        CloneJobFiles files(env.cloneFolder());
        if (!files.isResumable(files.readRecord())) continue;
        ++resumed;
        QStringList waiting;
        for (const auto& e : stored->files)
            if (e.waiting()) waiting << e.source();

        env.ui.fake.msgAnswers = {MsgAnswer::Yes};
        QStringList converted;
        frmCloneDirectory d;
        d.SaveFactor = 0;
        d.Converter = [&](const QString& image, const QString& pdf, const QString& c, const QString& g,
                          const QString& b, bool replace) {
            converted << image;
            return ApImgToPdf().ConverImageToPdf(image, pdf, c, g, b, replace);
        };
        d.Form_Activate();
        EXPECT_EQ(converted, waiting);
        EXPECT_EQ(files.readRecord().STATUS, "FINISHED");
        EXPECT_FALSE(QFile::exists(env.xmlPath()));
        for (const char* pdf : {"1.pdf", "2.pdf", "sub/3.pdf", "sub/4.pdf"})
            EXPECT_TRUE(completePdf(out + "/src/" + pdf)) << pdf;
    }
    // Resumable from the start record until the list is deleted.
    EXPECT_EQ(resumed, writes - 4);
}
