#include "core/globals.h"
#include "core/propertybag.h"
#include "core/settings.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A value of each type that no default has, distinct per setting.
template <class T> T distinctValue(int i) {
    if constexpr (std::is_same_v<T, QString>)
        return QStringLiteral("/tmp/ä-%1").arg(i);
    else if constexpr (std::is_same_v<T, uint8_t>)
        return static_cast<uint8_t>(200 + i % 50);
    else if constexpr (std::is_same_v<T, int16_t>)
        return static_cast<int16_t>(-1000 - i);
    else
        return static_cast<int32_t>(-100000 * i);
}

// Fills every setting through its setter with a value of its own.
void setDistinctValues(Settings& s) {
    int i = 0;
#define QM_SET(kind, Type, Name, def) s.set##Name(distinctValue<Type>(++i));
    QM_SETTINGS(QM_SET)
#undef QM_SET
}

// Names of the settings whose value differs from its distinct value.
QStringList differingFromDistinct(const Settings& s) {
    QStringList out;
    int i = 0;
#define QM_CMP(kind, Type, Name, def)                                                                         \
    if (s.Name() != distinctValue<Type>(++i))                                                                \
        out << QStringLiteral(#Name);
    QM_SETTINGS(QM_CMP)
#undef QM_CMP
    return out;
}

QStringList differingFromDefaults(const Settings& s) {
    QStringList out;
#define QM_CMP(kind, Type, Name, def)                                                                         \
    if (s.Name() != Type(def))                                                                               \
        out << QStringLiteral(#Name);
    QM_SETTINGS(QM_CMP)
#undef QM_CMP
    return out;
}

// Fails its first `failures` writes (all when negative), then writes for real.
class FailingSettings : public Settings {
public:
    int failures = -1;
    int writes = 0;

protected:
    bool writeRecord(const QString& path, const QByteArray& record, int& n, QString& d) override {
        ++writes;
        if (failures != 0) {
            if (failures > 0)
                --failures;
            n = 61;
            d = QStringLiteral("Disk full");
            return false;
        }
        return Settings::writeRecord(path, record, n, d);
    }
};

class SettingsStore : public ::testing::Test {
protected:
    ScopedStorage storage;
    ScopedFakeUi ui;
};

} // namespace

TEST_F(SettingsStore, DefaultsAreWrittenAndReadBackWithAll49NamesAndTypes) {
    Settings s;
    s.LoadDefaultSettings();
    EXPECT_TRUE(differingFromDefaults(s).isEmpty());
    EXPECT_EQ(s.StartupFolder(), QDir::homePath());
    EXPECT_EQ(s.LastGridColWidth(), "1800,250,700,1800,1000,1400,2000,2000");
    EXPECT_EQ(s.WindowStateValue(), 2);

    const auto bag = PropertyBag::fromContents(readAll(Settings::settingsFile()));
    ASSERT_TRUE(bag);
    EXPECT_EQ(bag->count(), Settings::kCount);
    EXPECT_TRUE(std::holds_alternative<QString>(*bag->ReadProperty("ColumnReOrder")));
    EXPECT_TRUE(std::holds_alternative<uint8_t>(*bag->ReadProperty("IsDefaultPathCloneDir")));
    EXPECT_TRUE(std::holds_alternative<int16_t>(*bag->ReadProperty("SortbyNumeric")));
    EXPECT_TRUE(std::holds_alternative<int32_t>(*bag->ReadProperty("LastWindowWidth")));

    Settings again;
    ASSERT_TRUE(again.LoadSettings());
    EXPECT_TRUE(differingFromDefaults(again).isEmpty());
    EXPECT_TRUE(ui.fake.messages.isEmpty());
}

TEST_F(SettingsStore, EverySetterSavesAtOnceAndAllValuesRoundTrip) {
    Settings s;
    s.LoadDefaultSettings();
    s.setStartupFolder("/srv/scans");
    {
        Settings reader;
        ASSERT_TRUE(reader.LoadSettings());
        EXPECT_EQ(reader.StartupFolder(), "/srv/scans");
    }
    setDistinctValues(s);
    EXPECT_TRUE(differingFromDistinct(s).isEmpty());
    Settings reader;
    ASSERT_TRUE(reader.LoadSettings());
    EXPECT_EQ(differingFromDistinct(reader), QStringList());
    // No setter validates: any text is kept as given.
    s.setColumnVisibility("not,flags,at all");
    ASSERT_TRUE(reader.LoadSettings());
    EXPECT_EQ(reader.ColumnVisibility(), "not,flags,at all");
}

TEST_F(SettingsStore, ShortValueAfterLongOneLoadsShortAndLeavesNoStaleBytes) {
    Settings s;
    s.LoadDefaultSettings();
    s.setExportLocation(QString(5000, QLatin1Char('x')));
    const qint64 longSize = QFileInfo(Settings::settingsFile()).size();
    s.setExportLocation("/a");
    EXPECT_LT(QFileInfo(Settings::settingsFile()).size(), longSize - 4000);
    Settings reader;
    ASSERT_TRUE(reader.LoadSettings());
    EXPECT_EQ(reader.ExportLocation(), "/a");
}

TEST_F(SettingsStore, MissingFileAnswersFalseSilentlyAndCreatesTheFolder) {
    QDir(Settings::settingsFolder()).removeRecursively();
    Settings s;
    EXPECT_FALSE(s.LoadSettings());
    EXPECT_TRUE(QFileInfo(Settings::settingsFolder()).isDir());
    EXPECT_TRUE(ui.fake.messages.isEmpty());
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(SettingsStore, DamagedFilesAreDeletedLoggedAndChangeNoValue) {
    Settings good;
    good.LoadDefaultSettings();
    const QByteArray record = readAll(Settings::settingsFile());
    PropertyBag wrongType;
    wrongType.WriteProperty("SortbyNumeric", QStringLiteral("1"));

    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray flipped = record;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x20);
    QByteArray newer = record;
    newer[4] = 2;
    const Case cases[] = {
        {"garbage", QByteArray("\x01\x02garbage!")},
        {"empty", QByteArray()},
        {"cut short", record.left(record.size() - 3)},
        {"checksum", flipped},
        {"unknown version", newer},
        {"wrong type", wrongType.Contents()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFile(Settings::settingsFile(), c.bytes));
        Settings s;
        EXPECT_FALSE(s.LoadSettings());
        EXPECT_FALSE(QFile::exists(Settings::settingsFile()));
        // Nothing was taken over, not even the defaults of absent values.
        EXPECT_TRUE(s.StartupFolder().isEmpty());
        EXPECT_EQ(s.WindowStateValue(), 0);
    }
    const QStringList lines = storage.errorLog().split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines[0].startsWith("Error 321 (Invalid file format) in procedure LoadSettings at Line No. "));
    EXPECT_TRUE(lines[5].startsWith("Error 13 (Type mismatch) in procedure LoadSettings"));
    EXPECT_TRUE(lines[5].contains(" of Class Module Settings at time- "));
    EXPECT_TRUE(ui.fake.messages.isEmpty());
}

TEST_F(SettingsStore, ValuesMissingFromAReadableFileTakeTheirDefaultsAndUnknownOnesAreIgnored) {
    PropertyBag bag;
    bag.WriteProperty("StartupFolder", QStringLiteral("/data"));
    bag.WriteProperty("LastWindowLeft", int32_t(-7));
    bag.WriteProperty("SomethingNewer", QStringLiteral("x"));
    ASSERT_TRUE(writeFile(Settings::settingsFile(), bag.Contents()));
    Settings s;
    ASSERT_TRUE(s.LoadSettings());
    EXPECT_EQ(s.StartupFolder(), "/data");
    EXPECT_EQ(s.LastWindowLeft(), -7);
    EXPECT_EQ(differingFromDefaults(s), QStringList({"StartupFolder", "LastWindowLeft"}));
}

TEST_F(SettingsStore, FolderDeletedWhileRunningIsRecreatedByTheNextChange) {
    Settings s;
    s.LoadDefaultSettings();
    ASSERT_TRUE(QDir(Settings::settingsFolder()).removeRecursively());
    s.setSortbyNumeric(1);
    Settings reader;
    ASSERT_TRUE(reader.LoadSettings());
    EXPECT_EQ(reader.SortbyNumeric(), 1);
}

TEST_F(SettingsStore, PersistentWriteFailureKeepsMemoryLogsEachSaveAndTellsOnce) {
    FailingSettings s;
    s.failures = 0;
    s.LoadDefaultSettings();
    s.failures = -1;
    s.writes = 0;
    s.setStartupFolder("/kept");
    s.setSortbyNumeric(3);
    EXPECT_EQ(s.writes, 2); // one write per save: no fallback to the defaults
    EXPECT_EQ(s.StartupFolder(), "/kept");
    EXPECT_EQ(s.SortbyNumeric(), 3);
    const QStringList lines = storage.errorLog().split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Error 61 (Disk full) in procedure SaveSettings at Line No. 0 of Class "
                                    "Module Settings at time- "));
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "Disk full");
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.fake.messages[0].title, kAppTitle);
}

TEST_F(SettingsStore, ARealFullDiskKeepsTheFileAndTheValuesAndTheNextSaveWritesThemAll) {
    Settings s;
    s.LoadDefaultSettings();
    s.setStartupFolder("/srv/before");
    const QByteArray before = readAll(Settings::settingsFile());
    ASSERT_FALSE(before.isEmpty());
    {
        // Any file write past half the record fails for real (EFBIG), as on a full disk; the
        // error log's first line still fits.
        ScopedFileSizeLimit limit(before.size() / 2);
        setDistinctValues(s);
    }
    EXPECT_EQ(readAll(Settings::settingsFile()), before);
    EXPECT_TRUE(differingFromDistinct(s).isEmpty());
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "Disk full");
    EXPECT_TRUE(storage.errorLog().startsWith("Error 61 (Disk full) in procedure SaveSettings"));
    EXPECT_EQ(QDir(Settings::settingsFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    s.setLanguageFile(s.LanguageFile()); // the limit is lifted: one save writes everything
    Settings reader;
    ASSERT_TRUE(reader.LoadSettings());
    EXPECT_TRUE(differingFromDistinct(reader).isEmpty());
    EXPECT_EQ(ui.fake.messages.size(), 1);
}

TEST_F(SettingsStore, AFileThatCannotBeReplacedEndsWithoutRecursion) {
    // A folder where the file should be: neither writing nor deleting it can succeed.
    ASSERT_TRUE(QDir().mkpath(Settings::settingsFile()));
    Settings s;
    s.LoadDefaultSettings();
    s.setLastWindowTop(40);
    EXPECT_EQ(s.LastWindowTop(), 40);
    EXPECT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(storage.errorLog().count("in procedure SaveSettings"), 2);
}

namespace {

// A record built byte by byte (WriteProperty would refuse the duplicates): `names` as
// byte values 0, 1, 2, ...
QByteArray rawRecord(const QStringList& names) {
    QByteArray payload;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray n = names[i].toUtf8();
        payload += char(2);
        payload += char(n.size() & 0xFF);
        payload += char(n.size() >> 8);
        payload += n;
        payload += char(i & 0xFF);
    }
    auto le = [](quint32 v, int bytes) {
        QByteArray out;
        for (int k = 0; k < bytes; ++k)
            out += char((v >> (8 * k)) & 0xFF);
        return out;
    };
    return "QMPB" + le(1, 2) + le(quint32(names.size()), 2) + le(quint32(payload.size()), 4) +
           le(PropertyBag::crc32(payload.constData(), payload.size()), 4) + payload;
}

} // namespace

TEST(PropertyRecord, ANameTwiceInAnyCaseIsRefusedAndAFullRecordOfDistinctNamesReads) {
    QString why;
    EXPECT_FALSE(PropertyBag::fromContents(rawRecord({"Alpha", "Beta", "ALPHA"}), &why));
    EXPECT_EQ(why, "value stored twice");
    EXPECT_FALSE(PropertyBag::fromContents(rawRecord({"Straße", "STRASSE", "straße"})));

    // The most values a record can hold: each name is checked against all before it.
    QStringList many;
    for (int i = 0; i < 65535; ++i)
        many << QString::number(i, 36);
    const auto bag = PropertyBag::fromContents(rawRecord(many), &why);
    ASSERT_TRUE(bag) << why.toStdString();
    EXPECT_EQ(bag->count(), 65535);
    EXPECT_EQ(bag->ReadProperty("zz"), PropertyBag::Value(uint8_t((36 * 35 + 35) & 0xFF)));
}
