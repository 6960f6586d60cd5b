#pragma once

// Process-wide objects made by Main at start-up; they live until the process ends.

#include <QString>
#include <QStringList>
#include <array>

class Settings;
class GridColumns;
class PageCounter;

// Data folder, without and with its trailing separator.
extern QString StoragePath;
extern QString StoragePathSlash;

// Command line: the folder to open at and the files to pre-check.
extern QString CmdLineFolder;
extern QStringList CmdLineFiles;

extern Settings* AppSettings;
extern GridColumns* AppGridColumns;

// The column setting lists split on ",".
extern QStringList arrColumnVisibility;
extern QStringList arrColumnReOrder;
extern QStringList arrLastGridColWidth;

// Image filter table: comma-separated wildcards per group; index 11 stays empty.
extern std::array<QString, 12> FilterPatterns;

extern PageCounter* PdfPageCounter;
extern PageCounter* TiffPageCounter;

inline const QString kAppTitle = QStringLiteral("Quillmere 3.1");
inline const QString kCompanyName = QStringLiteral("Brevart Technologies");
