#include "core/globals.h"

QString StoragePath;
QString StoragePathSlash;
QString CmdLineFolder;
QStringList CmdLineFiles;
Settings* AppSettings = nullptr;
GridColumns* AppGridColumns = nullptr;
QStringList arrColumnVisibility;
QStringList arrColumnReOrder;
QStringList arrLastGridColWidth;
std::array<QString, 12> FilterPatterns;
PageCounter* PdfPageCounter = nullptr;
PageCounter* TiffPageCounter = nullptr;
