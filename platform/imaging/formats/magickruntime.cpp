#include "platform/imaging/formats/magickruntime.h"

#include "platform/imaging/formats/raster.h"

#include <Magick++.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <mutex>

static void initPolicyResource() {
    // The resource lives in a static library: nothing else references it.
    Q_INIT_RESOURCE(magickpolicy);
}

namespace imaging {

void ensureMagickReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        initPolicyResource();
        // ImageMagick reads its policy only while it starts, so the file just has to exist
        // until InitializeMagick has returned.
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillmere-magick-XXXXXX"));
        if (dir.isValid() && QFile::copy(QStringLiteral(":/imaging/policy.xml"), dir.filePath(QStringLiteral("policy.xml"))))
            qputenv("MAGICK_CONFIGURE_PATH", QFile::encodeName(dir.path()));
        Magick::InitializeMagick(nullptr);
        Magick::ResourceLimits::thread(1);
    });
}

bool magickWarningMeansDamage(const Magick::Exception& e) {
    const std::string what = e.what();
    for (const char* sign : {"UnexpectedEndOfFile", "unexpected end-of-file", "InsufficientImageData",
                             "insufficient image data", "CorruptImage", "corrupt image", "NotEnoughPixelData",
                             "not enough pixel data"}) {
        if (what.find(sign) != std::string::npos)
            return true;
    }
    return false;
}

int magickErrorCode(const Magick::Exception& e, QString& error) {
    error = QString::fromLocal8Bit(e.what());
    if (dynamic_cast<const Magick::ErrorResourceLimit*>(&e) || dynamic_cast<const Magick::WarningResourceLimit*>(&e))
        return ApOverLimits;
    if (dynamic_cast<const Magick::ErrorMissingDelegate*>(&e) || dynamic_cast<const Magick::ErrorPolicy*>(&e))
        return ApUnsupported;
    if (dynamic_cast<const Magick::ErrorFileOpen*>(&e))
        return ApCannotRead;
    return ApCorrupt;
}

} // namespace imaging
