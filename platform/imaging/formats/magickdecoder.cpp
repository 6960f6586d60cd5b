#include "platform/imaging/formats/magickdecoder.h"

#include "platform/imaging/formats/magickraster.h"
#include "platform/imaging/formats/magickruntime.h"

#include <Magick++.h>
#include <cstdlib>
#include <cstring>

namespace imaging {

namespace {

// Runs one ImageMagick call. Errors answer their code; a warning that means missing
// pixels answers ApCorrupt; other warnings (a wrong length field, an unknown tag) are
// harmless and the image the call produced stands.
template <class Call>
int guarded(QString& error, Call&& call) {
    try {
        call();
        return ApOk;
    } catch (const Magick::Warning& w) {
        if (magickWarningMeansDamage(w)) {
            error = QString::fromLocal8Bit(w.what());
            return ApCorrupt;
        }
        return ApOk;
    } catch (const Magick::Exception& e) {
        return magickErrorCode(e, error);
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("out of memory while decoding");
        return ApOverLimits;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return ApCorrupt;
    }
}

void prepare(Magick::Image& image, const MagickRead& how) {
    image.quiet(false);
    if (how.firstFrameOnly) {
        image.subImage(0);
        image.subRange(1);
    }
    image.magick(how.coder);
}

// The size the image will have, without decoding its pixels.
int ping(const Magick::Blob& blob, const MagickRead& how, int64_t& width, int64_t& height, QString& error) {
    Magick::Image probe;
    const int rc = guarded(error, [&] {
        prepare(probe, how);
        probe.ping(blob);
    });
    width = int64_t(probe.columns());
    height = int64_t(probe.rows());
    return rc;
}

// Hands the bytes to a Blob without a second copy.
Magick::Blob toBlob(QByteArray& data) {
    Magick::Blob blob;
    void* copy = std::malloc(static_cast<size_t>(data.size()) + 1);
    if (!copy)
        throw std::bad_alloc();
    std::memcpy(copy, data.constData(), static_cast<size_t>(data.size()));
    const size_t length = static_cast<size_t>(data.size());
    data = QByteArray();
    blob.updateNoCopy(copy, length, Magick::Blob::MallocAllocator);
    return blob;
}

} // namespace

int decodeMagickPage(QByteArray data, const MagickRead& how, const MagickHeader& header, RasterPage& page,
                     QString& error) {
    if (data.isEmpty()) {
        error = QStringLiteral("empty file");
        return ApCorrupt;
    }
    ensureMagickReady();
    Magick::Blob blob;
    int rc = guarded(error, [&] { blob = toBlob(data); });
    if (rc != ApOk)
        return rc;

    // Dimensions first: nothing is allocated for a page we would refuse.
    int64_t width = 0, height = 0;
    if ((rc = ping(blob, how, width, height, error)) != ApOk)
        return rc;
    const int bits = header.bitsPerPixel > 0 ? header.bitsPerPixel : 24;
    const int64_t decoded = (width > kMaxSide || height > kMaxSide) ? INT64_MAX : (width * bits + 7) / 8 * height;
    if (!withinLimits(width, height, decoded) ||
        (header.width > 0 && !withinLimits(header.width, header.height, header.decodedBytes()))) {
        error = QStringLiteral("page of %1 x %2 pixels is over the limits").arg(width).arg(height);
        return width > 0 && height > 0 ? ApOverLimits : ApCorrupt;
    }
    Magick::Image image;
    rc = guarded(error, [&] {
        prepare(image, how);
        image.read(blob);
    });
    if (rc != ApOk)
        return rc;
    if (image.columns() != size_t(width) || image.rows() != size_t(height)) {
        error = QStringLiteral("decoded size differs from the header");
        return ApCorrupt;
    }
    int converted = ApOk;
    rc = guarded(error, [&] { converted = magickToRaster(image, header, page, error); });
    return rc != ApOk ? rc : converted;
}

} // namespace imaging
