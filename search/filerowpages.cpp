#include "search/filerowpages.h"

#include "core/errortrap.h"
#include "core/modgeneral.h"
#include "core/vbruntime.h"
#include "search/filerow.h"
#include "search/filesearch.h"

namespace filesearch {

void GetPageCount(PageCountRows& rows, const QStringList& columnVisibility, int pagesPosition,
                  PageCounter* tiffCounter, PageCounter* pdfCounter) {
    trap(u"GetPageCount", kSearchOwner, [&] {
        if (pagesPosition < 0 || pagesPosition >= columnVisibility.size()) raiseError(9);
        if (vb::Val(columnVisibility[pagesPosition]) != 0) return;
        for (int row = 0; row < rows.rowCount(); ++row) {
            if (!rows.isChecked(row)) continue;
            const QString name = rows.name(row);
            // The name's own extension, as the search uses: a name without a dot has none.
            const QString path = modGeneral::ValidateDir(rows.location(row)) + name;
            const QString pages = PagesText(GetExtension(name), path, tiffCounter, pdfCounter);
            if (!pages.isNull()) rows.setPagesText(row, pages);
        }
    });
}

} // namespace filesearch
