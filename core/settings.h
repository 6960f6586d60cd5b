#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// All 49 persisted settings, in interface order: X(kind, C++ type, Name, default).
// Each gives a getter `Type Name() const` and a setter `void setName(Type mValue)`;
// the setter stores the value and saves the whole file at once.
#define QM_SETTINGS(X)                                                                                       \
    X(Text, QString, ColumnVisibility, QStringLiteral("1,1,1,1,1,1,1,1"))                                    \
    X(Text, QString, ExportLocation, QString())                                                              \
    X(Byte, uint8_t, LanguageFile, 0)                                                                        \
    X(Text, QString, StartupFolder, Settings::defaultStartupFolder())                                        \
    X(Byte, uint8_t, WindowStateFlag, 1)                                                                     \
    X(Byte, uint8_t, WindowStateValue, 2)                                                                    \
    X(Long, int32_t, LastWindowState, 0)                                                                     \
    X(Long, int32_t, LastWindowLeft, 0)                                                                      \
    X(Long, int32_t, LastWindowTop, 0)                                                                       \
    X(Long, int32_t, LastWindowHeight, 0)                                                                    \
    X(Long, int32_t, LastWindowWidth, 0)                                                                     \
    X(Integer, int16_t, LastGridColWidthFlag, 1)                                                             \
    X(Integer, int16_t, SortbyNumeric, 0)                                                                    \
    X(Text, QString, LastGridColWidth, QStringLiteral("1800,250,700,1800,1000,1400,2000,2000"))              \
    X(Text, QString, ColumnReOrder,                                                                          \
      QStringLiteral("Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date"))          \
    X(Byte, uint8_t, IsOpenFileAfterExport, 0)                                                               \
    X(Byte, uint8_t, IsOpenFolderSplitPDF, 0)                                                                \
    X(Text, QString, DefaultPathSplitPDF, QString())                                                         \
    X(Byte, uint8_t, IsDefaultPathSplitPDF, 0)                                                               \
    X(Byte, uint8_t, IsOpenFolderSplitTIFF, 0)                                                               \
    X(Text, QString, DefaultPathSplitTIFF, QString())                                                        \
    X(Byte, uint8_t, IsDefaultPathSplitTIFF, 0)                                                              \
    X(Byte, uint8_t, IsOpenFileAftCombPDF, 0)                                                                \
    X(Text, QString, DefaultPathCombPDF, QString())                                                          \
    X(Byte, uint8_t, IsDefaultPathCombPDF, 0)                                                                \
    X(Byte, uint8_t, IsOpenFileAftCombTIFF, 0)                                                               \
    X(Text, QString, DefaultPathCombTIFF, QString())                                                         \
    X(Byte, uint8_t, IsDefaultPathCombTIFF, 0)                                                               \
    X(Byte, uint8_t, IsOpenFileMConvToPDF, 0)                                                                \
    X(Text, QString, DefaultPathMConvToPDF, QString())                                                       \
    X(Byte, uint8_t, IsDefaultPathMConvToPDF, 0)                                                             \
    X(Byte, uint8_t, IsOpenFolderAftConvEToPDF, 0)                                                           \
    X(Text, QString, DefaultPathConvEToPDF, QString())                                                       \
    X(Byte, uint8_t, IsDefaultPathConvEToPDF, 0)                                                             \
    X(Byte, uint8_t, IsOpenFolderPdfInfoUpdate, 0)                                                           \
    X(Text, QString, DefaultPathPdfInfoUpdate, QString())                                                    \
    X(Byte, uint8_t, IsDefaultPathPdfInfoUpdate, 0)                                                          \
    X(Byte, uint8_t, IsOpenFolderAppPDf, 0)                                                                  \
    X(Text, QString, DefaultPathAppPDf, QString())                                                           \
    X(Byte, uint8_t, IsDefaultPathAppPDf, 0)                                                                 \
    X(Byte, uint8_t, IsOpenFolderConImgTiff, 0)                                                              \
    X(Text, QString, DefaultPathConImgTiff, QString())                                                       \
    X(Byte, uint8_t, IsDefaultPathConImgTiff, 0)                                                             \
    X(Byte, uint8_t, IsOpenFolderConPdfToTiff, 0)                                                            \
    X(Text, QString, DefaultPathConPdfToTiff, QString())                                                     \
    X(Byte, uint8_t, IsDefaultPathConPdfToTiff, 0)                                                           \
    X(Byte, uint8_t, IsOpenFolderCloneDir, 0)                                                                \
    X(Text, QString, DefaultPathCloneDir, QString())                                                         \
    X(Byte, uint8_t, IsDefaultPathCloneDir, 0)

// The settings object (AppSettings). Its file is "Settings/settings.ini" under the data
// folder: one record of our own format holding every value with its name and type,
// replaced atomically on every save.
class Settings {
public:
    Settings() = default;
    virtual ~Settings() = default;
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    static constexpr int kCount = 49;

#define QM_SETTING_ACCESSORS(kind, Type, Name, def)                                                          \
    Type Name() const { return m_##Name; }                                                                   \
    void set##Name(Type mValue) {                                                                            \
        m_##Name = mValue;                                                                                   \
        SaveSettings();                                                                                      \
    }
    QM_SETTINGS(QM_SETTING_ACCESSORS)
#undef QM_SETTING_ACCESSORS

    // Reads the file. False when it is missing, or damaged (then it is deleted and the
    // error logged); a value missing from a readable file takes its default.
    bool LoadSettings();
    // Writes all values atomically. When writing fails, the earlier file stays as it was,
    // the values in memory are kept, one line is logged and the reason is shown once per
    // session.
    void SaveSettings();
    // Sets every value to its default, then saves once.
    void LoadDefaultSettings();

    // The folder the folder tree opens at by default: the user's home folder.
    static QString defaultStartupFolder();
    // Paths of the settings folder and file under the current data folder.
    static QString settingsFolder();
    static QString settingsFile();

protected:
    // Replaces the file with `record` atomically; false with a runtime error number and
    // text when it could not be written. A seam for tests of write failures.
    virtual bool writeRecord(const QString& path, const QByteArray& record, int& errorNumber,
                             QString& description);

private:
    QByteArray contents() const;
    void takeValues(const QByteArray& contents);
    void setDefaults();

    bool m_failureShown = false;

#define QM_SETTING_MEMBER(kind, Type, Name, def) Type m_##Name{};
    QM_SETTINGS(QM_SETTING_MEMBER)
#undef QM_SETTING_MEMBER
};
