#include "search/filerow.h"

#include "core/runtimeerror.h"
#include "core/vbruntime.h"
#include "platform/imaging/pagecount/pagecounter.h"

#include <cmath>

namespace filesearch {

int32_t RoundUp(double value) {
    if (std::isnan(value)) raiseError(6);
    const double r = vb::BankersRound(value);
    if (r < -2147483648.0 || r > 2147483647.0) raiseError(6);
    const int32_t whole = static_cast<int32_t>(r);
    if (value <= r) return whole;
    if (whole == INT32_MAX) raiseError(6);
    return whole + 1;
}

int64_t KilobytesOf(int64_t bytes) {
    return bytes <= 0 ? 0 : (bytes - 1) / 1024 + 1;
}

QString GetExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : path.mid(dot + 1);
}

QString PagesText(const QString& extension, const QString& path, PageCounter* tiffCounter,
                  PageCounter* pdfCounter) {
    const bool tiff = extension.compare(QLatin1String("tif"), Qt::CaseInsensitive) == 0 ||
                      extension.compare(QLatin1String("tiff"), Qt::CaseInsensitive) == 0;
    if (tiff) {
        const int count = tiffCounter ? tiffCounter->CountPages(path) : -1;
        return count < 0 ? QStringLiteral("Error") : QString::number(count);
    }
    if (extension.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0) {
        const int count = pdfCounter ? pdfCounter->CountPages(path) : 0;
        return count <= 0 ? QStringLiteral("Error") : QString::number(count);
    }
    return QString();
}

} // namespace filesearch
