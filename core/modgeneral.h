#pragma once

// The general helpers: parts of paths, the column lookups and re-ordering.
// LogError also belongs to this module (core/errorlog.h).

#include "core/errorlog.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class GridColumns;

namespace modGeneral {

// The last component of a path ("" for "/"); a trailing "/" is ignored.
QString GetFileName(const QString& path);
// The path without its last component: "/a/x.tif" -> "/a", "/x.tif" -> "/", "x.tif" -> "".
QString GetParentFolderName(const QString& path);
// The text after the last "." (the whole path when there is none; "b/file" for "/a.b/file").
QString GetFileExt(const QString& path);
// The path with one trailing "/" added when missing ("" -> "/").
QString ValidateDir(const QString& path);
// The upper 16 bits of a value as a signed 16-bit number.
int16_t HiWord(int32_t value);

// The ColumnIndex of the column whose key equals `key` exactly (letter case counts), or 0.
int16_t GetColumnIndexByKey(const QString& key);
int16_t GetColumnIndexByKey(const GridColumns& columns, const QString& key);

// Re-orders AppGridColumns by AppSettings' ColumnReOrder and takes widths from its
// LastGridColWidth; refreshes arrColumnReOrder.
void LoadGridColumns();
// The same over any list and setting texts; `reorderArray` receives the split order list.
void LoadGridColumns(GridColumns& columns, const QString& columnReOrder, const QString& lastGridColWidth,
                     QStringList& reorderArray);

} // namespace modGeneral
