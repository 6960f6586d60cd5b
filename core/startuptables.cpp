#include "core/startuptables.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/vbruntime.h"

namespace modMasterLayout {

void AddDefaultGridColumns(GridColumns& columns) {
    struct Default {
        const char* key;
        float width;
        int32_t datatype;
    };
    static const Default table[] = {
        {"Name", 1800, GridColumn::Text},         {"Selection", 250, GridColumn::Boolean},
        {"Pages", 700, GridColumn::Decimal},      {"Location", 1800, GridColumn::Text},
        {"Size (In KB)", 1000, GridColumn::Decimal}, {"Type", 1400, GridColumn::Text},
        {"Created Date", 1400, GridColumn::Date}, {"Modified Date", 1400, GridColumn::Date},
    };
    int16_t position = 0;
    for (const Default& d : table) {
        const QString key = QString::fromLatin1(d.key);
        columns.add(key, d.width, position++, key, d.datatype, key);
    }
}

void ApplySavedColumnWidths(GridColumns& columns, const QString& lastGridColWidth) {
    arrLastGridColWidth = lastGridColWidth.split(QLatin1Char(','));
    if (arrLastGridColWidth.size() != columns.Count())
        return;
    // Each element on its own: one bad width must not cost the others, nor start-up.
    for (int i = 1; i <= columns.Count(); ++i) {
        const GridColumns::ColumnPtr column = columns.Item(i);
        trap(u"Main", u" of Module modMasterLayout at time",
             [&] { column->ColumnWidth = vb::CSng(arrLastGridColWidth.at(i - 1)); });
    }
}

void FillFilterPatterns() {
    static const char* const table[] = {
        "*.tif,*.tiff,*.jpg,*.jp2,*.gif,*.png,*.pcd,*.psd,*.tga,*.bmp,*.dcx,*.emf,*.wmf,*.pcx,*.ppm,*.ico,*.pnm",
        "*.tif,*.tiff",
        "*.jpg,*.jp2",
        "*.gif",
        "*.png,*.pcd,*.psd,*.tga",
        "*.bmp",
        "*.dcx",
        "*.emf,*.wmf",
        "*.pcx,*.ppm",
        "*.ico",
        "*.pnm",
    };
    for (size_t i = 0; i < std::size(table); ++i)
        FilterPatterns[i] = QString::fromLatin1(table[i]);
    FilterPatterns[11].clear();
}

} // namespace modMasterLayout
