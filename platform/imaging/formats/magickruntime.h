#pragma once

// ImageMagick set up once for the library: our own policy file, one thread, and the
// translation of its exceptions into library codes.

#include <QString>

namespace Magick {
class Exception;
}

namespace imaging {

// Points MAGICK_CONFIGURE_PATH at our policy and starts ImageMagick; safe to call often.
void ensureMagickReady();

// The library code for an exception ImageMagick raised while reading (ApCorrupt,
// ApOverLimits, ApUnsupported...), with its text in `error`.
int magickErrorCode(const Magick::Exception& e, QString& error);

// True for a warning that means pixels are missing (a cut or damaged file), which we
// refuse like an error rather than put a half-empty page into a PDF.
bool magickWarningMeansDamage(const Magick::Exception& e);

} // namespace imaging
