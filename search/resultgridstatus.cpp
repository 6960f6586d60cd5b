#include "search/resultgridstatus.h"

#include "core/runtimeerror.h"
#include "core/vbruntime.h"

#include <limits>

namespace resultgrid {

namespace {
// A "Pages" text as a count: 0 unless it is a number. Counts are plain digits, read
// directly; anything else takes the runtime's own conversion.
qint64 pageCount(const QString& pages) {
    if (!pages.isEmpty() && pages.size() <= 9) {
        qint64 v = 0;
        bool plain = true;
        for (QChar c : pages) {
            if (c < u'0' || c > u'9') {
                plain = false;
                break;
            }
            v = v * 10 + (c.unicode() - u'0');
        }
        if (plain) return v;
    }
    return vb::IsNumeric(pages) ? vb::CLng(pages) : 0;
}
} // namespace

QString SummaryExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString SelectedFileSummary(int rowCount, const std::function<SummaryRow(int row)>& rowAt) {
    qint64 count = 0;
    qint32 tiffPages = 0;
    for (int r = 1; r < rowCount; ++r) {
        const SummaryRow row = rowAt(r);
        if (!row.checked) continue;
        ++count;
        if (SummaryExtension(row.name).toLower() == QLatin1String(".pdf")) continue;
        const qint64 sum = qint64(tiffPages) + pageCount(row.pages);
        if (sum > std::numeric_limits<qint32>::max() || sum < std::numeric_limits<qint32>::min())
            raiseError(6); // the total is a 32-bit count, as the pages are
        tiffPages = qint32(sum);
    }
    return QString::number(count) +
           QStringLiteral(" file selected; Total Page count of selected Tiff files: ") +
           QString::number(tiffPages);
}

} // namespace resultgrid
