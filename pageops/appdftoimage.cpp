#include "pageops/appdftoimage.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/modgeneral.h"
#include "core/vbruntime.h"
#include "pageops/pageopshelpers.h"
#include "platform/pdfrender/pdftoimage.h"

#include <QDir>

namespace {

constexpr QStringView kOwner = u" of Class Module ApPdfToImage at time";
constexpr int kMultiPageTiff = 7;

} // namespace

bool ApPdfToImage::ConvertPDFToImage(const QString& SrcFilePath, const QString& StrOutputDir, int iPageAmount,
                                     const QString& Prefix, int ImgType) {
    if (SrcFilePath.isEmpty()) return false;
    const int handle = pdfrender::apOpen(SrcFilePath);
    if (handle < 1) return false; // nothing was opened
    pageops::RenderJob job(handle);
    bool ok = false;
    trap(u"ConvertPDFToImage", kOwner, [&] {
        const QString name = modGeneral::GetFileName(SrcFilePath.trimmed());
        QString folder = StrOutputDir;
        if (ImgType != kMultiPageTiff) {
            const qsizetype dot = name.lastIndexOf(u'.');
            folder = modGeneral::ValidateDir(StrOutputDir) + (dot < 0 ? QString() : name.left(dot));
            if (!QDir(folder).exists() && !QDir().mkdir(folder))
                raiseError(76, QStringLiteral("cannot create the folder %1").arg(folder));
        }
        job.set(pdfrender::kOutputFolder, folder, 0);
        job.set(pdfrender::kPrefix, Prefix, 0);
        job.set(pdfrender::kImageType, QString(), ImgType);
        if (ImgType == kMultiPageTiff) {
            job.set(pdfrender::kBitsPerPixel, QString(), 24);
            job.set(pdfrender::kMultiPage, QString(), 1);
            job.set(pdfrender::kCompression, QString(), -1);
        }
        for (int page = 1; page <= iPageAmount; ++page) {
            job.convert(page);
            if (progress) {
                const int percent = int(vb::BankersRound(double(page) / iPageAmount * 100));
                progress(percent, 100, name);
            }
            DoEvents();
        }
        if (progress) progress(0, 100, QString());
        job.close();
        ok = true;
    });
    return ok;
}
