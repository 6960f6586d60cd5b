// The job's two files: their exact bytes, the INI codec's read and write rules, the list's
// reader on damaged documents, and writes that fail for real.
#include "tests/clone/clonefixtures.h"

#include "jobs/clonejobfiles.h"
#include "platform/profile/privateprofile.h"
#include "tests/support/errorof.h"
#include "tests/support/filesizelimit.h"

using namespace clonejob;
using profile::PrivateProfile;
using namespace clonetest;

TEST(CloneJobFiles, FreshFilesHaveTheirExactBytes) {
    CloneEnvironment env;
    CloneJobFiles files(env.cloneFolder());
    const JobRecord empty = files.readRecord();
    EXPECT_EQ(readAll(env.iniPath()), "");
    EXPECT_EQ(empty.STATUS, "");
    EXPECT_EQ(empty.TOTAL_FILE, "");
    EXPECT_EQ(empty.REPLACE_EXISTING, "0");

    JobRecord r{"/data/scans", "/out", "10:01:02 UTC", "2", "0", "", "NOT FINISHED", "1"};
    files.writeStartRecord(r);
    EXPECT_EQ(readAll(env.iniPath()), "[CLONE]\nCLONE_PATH=/data/scans\nOUTPUT_PATH=/out\nTIME_START=10:01:02 UTC\n"
                                      "TOTAL_FILE=2\nFILE_COMPLETED=0\nLAST_FILEPATH=\nSTATUS=NOT FINISHED\n"
                                      "REPLACE_EXISTING=1\n");
    files.writeProgress(1, "/data/scans/a.jpg", "FINISHED");
    const JobRecord back = files.readRecord();
    EXPECT_EQ(back.FILE_COMPLETED, "1");
    EXPECT_EQ(back.LAST_FILEPATH, "/data/scans/a.jpg");
    EXPECT_EQ(back.STATUS, "FINISHED");
    EXPECT_EQ(back.CLONE_PATH, "/data/scans");

    CloneList list{"Jpeg", "", "CCITT-G4", {}};
    EXPECT_EQ(cloneListXml(list), R"(<?xml version = "1.0"?><Clone><Settings EncodColor="Jpeg" EncodGraycale="" )"
                                  R"(EncodBW="CCITT-G4"/><Files/></Clone>)");
    list.files.push_back({"a & b.jpg", "/data/scans", "a & b.pdf", "/out/scans", ""});
    files.saveList(list);
    EXPECT_EQ(readAll(env.xmlPath()),
              R"(<?xml version = "1.0"?><Clone><Settings EncodColor="Jpeg" EncodGraycale="" EncodBW="CCITT-G4"/>)"
              R"(<Files><File name="a &amp; b.jpg" path="/data/scans" targetfile="a &amp; b.pdf" )"
              R"(targetfolder="/out/scans" status=""/></Files></Clone>)");
}

TEST(CloneJobFiles, ProfileReadsValuesByTheClassicRules) {
    const PrivateProfile p = PrivateProfile::fromBytes("junk before any section\r\n"
                                                       "[other]\r\nKEY=wrong\r\n"
                                                       "  [ Clone ]  \r\n"
                                                       "  key =   padded value \t\r\n"
                                                       "Quoted=\"  spaced  \"\r\n"
                                                       "Single='x'\r\n"
                                                       "Lopsided=\"x\r\n"
                                                       "KEY=second of two\r\n"
                                                       "no equals sign\r\n"
                                                       "Empty=\r\n"
                                                       "[CLONE]\r\nLATE=later section of the same name\r\n");
    EXPECT_EQ(p.value(u"CLONE", u"KEY"), "padded value");
    EXPECT_EQ(p.value(u"clone", u"quoted"), "  spaced  ");
    EXPECT_EQ(p.value(u"CLONE", u"Single"), "x");
    EXPECT_EQ(p.value(u"CLONE", u"Lopsided"), "\"x");
    EXPECT_EQ(p.value(u"CLONE", u"Empty"), "");
    EXPECT_EQ(p.value(u"CLONE", u"missing"), std::nullopt);
    EXPECT_EQ(p.value(u"CLONE", u"LATE"), std::nullopt) << "only the first section of a name counts";
    EXPECT_EQ(p.value(u"nowhere", u"KEY"), std::nullopt);

    // A value reads whole up to 4095 characters and is cut there, never in a surrogate pair.
    const QString long4095(4095, 'v');
    const PrivateProfile cut = PrivateProfile::fromBytes(("[C]\nA=" + long4095 + "\nB=" + long4095 + "w\nS=" +
                                                          QString(4094, 'v') + QString::fromUtf8("\U0001F600"))
                                                             .toUtf8());
    EXPECT_EQ(cut.value(u"C", u"A"), long4095);
    EXPECT_EQ(cut.value(u"C", u"B"), long4095);
    EXPECT_EQ(cut.value(u"C", u"S"), QString(4094, 'v'));
}

TEST(CloneJobFiles, UpdatesKeepKeyOrderAndForeignLines) {
    PrivateProfile p = PrivateProfile::fromBytes("; kept\n[CLONE]\nSTATUS=old\nCLONE_PATH=/a\n\n[Other]\nX=1\n");
    p.setValue(u"Clone", u"clone_path", "/b");
    p.setValue(u"CLONE", u"TOTAL_FILE", "7");
    p.setValue(u"New", u"K", "v");
    EXPECT_EQ(p.toBytes(), "; kept\n[CLONE]\nSTATUS=old\nclone_path=/b\nTOTAL_FILE=7\n\n[Other]\nX=1\n[New]\nK=v\n");
}

TEST(CloneJobFiles, AnyValueReadsBackAndCannotAddAKey) {
    const QStringList values = {"line\nSTATUS=FINISHED", "cr\rlf", "back\\slash\\n", " lead and trail ", "\"quoted\"",
                                "'single'", "ünïcödé"};
    PrivateProfile p;
    for (int i = 0; i < values.size(); ++i)
        p.setValue(u"CLONE", QString("K%1").arg(i), values[i]);
    p.setValue(u"CLONE", u"STATUS", "NOT FINISHED");
    const PrivateProfile back = PrivateProfile::fromBytes(p.toBytes());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(back.value(u"CLONE", QString("K%1").arg(i)), values[i]);
    EXPECT_EQ(back.value(u"CLONE", u"STATUS"), "NOT FINISHED");
    EXPECT_EQ(p.toBytes().count('\n'), values.size() + 2) << "one line per key";
}

TEST(CloneJobFiles, ListReaderRefusesWhatIsNotAList) {
    const QByteArray good = R"(<?xml version = "1.0"?>
<Clone>
  <Settings EncodColor="Zip" EncodGraycale="Lzw" EncodBW=""/>
  <Files>
    <File name="a&#10;b.jpg" path="/s" targetfile="a&#10;b.pdf" targetfolder="/o" status="  "/>
    <File name="c.png" path="/s" targetfile="c.pdf" targetfolder="/o" status="Completed"/>
  </Files>
</Clone>)";
    const auto list = parseCloneList(good);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->EncodColor, "Zip");
    ASSERT_EQ(list->files.size(), 2u);
    EXPECT_EQ(list->files[0].name, "a\nb.jpg");
    EXPECT_TRUE(list->files[0].waiting()) << "a blank status waits";
    EXPECT_FALSE(list->files[1].waiting());
    EXPECT_EQ(parseCloneList(cloneListXml(*list))->files[0].name, "a\nb.jpg");

    for (const QByteArray& bad : {QByteArray("garbage"), QByteArray("<Clone><Files>"), QByteArray("<Clone/>"),
                                 QByteArray(R"(<Clone><Files><File name="x"/></Files></Clone>)"),
                                 QByteArray(R"(<Clone><Files>text</Files></Clone>)"),
                                 QByteArray(R"(<Clone><Settings EncodColor=""/><Files/></Clone>)")})
        EXPECT_FALSE(parseCloneList(bad)) << bad.constData();
    EXPECT_TRUE(parseCloneList(R"(<Clone><Files/></Clone>)")) << "Settings is optional";
}

TEST(CloneJobFiles, FileCountsAreNonNegative32BitNumbers) {
    EXPECT_EQ(ParseFileCount("40000"), 40000);
    EXPECT_EQ(ParseFileCount("2147483647"), 2147483647);
    for (const char* bad : {"", "abc", "-5", "2147483648", "12x", " 1"})
        EXPECT_EQ(ParseFileCount(bad), std::nullopt) << bad;
}

TEST(CloneJobFiles, AFailedWriteKeepsTheEarlierFileAndReportsDiskFull) {
    CloneEnvironment env;
    CloneJobFiles files(env.cloneFolder());
    CloneList list;
    list.files.push_back({"a.jpg", "/s", "a.pdf", "/o", ""});
    files.saveList(list);
    files.writeStartRecord(JobRecord{"/s", "/o", "t", "1", "0", "", "NOT FINISHED", "0"});
    const QByteArray xml = readAll(env.xmlPath()), ini = readAll(env.iniPath());
    list.files[0].status = "Completed";
    {
        ScopedFileSizeLimit limit(16);
        EXPECT_EQ(errorNumberOf([&] { files.saveList(list); }), 61);
        EXPECT_EQ(errorNumberOf([&] { files.writeProgress(1, "/s/a.jpg"); }), 61);
    }
    EXPECT_EQ(readAll(env.xmlPath()), xml);
    EXPECT_EQ(readAll(env.iniPath()), ini);
    EXPECT_EQ(QDir(env.cloneFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"Clone.ini", "clone.journal", "clone.xml"}))
        << "no temporary left";
}
