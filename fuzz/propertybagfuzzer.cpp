// The settings record reader. A record it accepts must serialise back to the same values.

#include "core/propertybag.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto bag = PropertyBag::fromContents(bytes);
    if (!bag) return 0;
    const auto again = PropertyBag::fromContents(bag->Contents());
    if (!again || again->count() != bag->count() || again->Contents() != bag->Contents()) std::abort();
    return 0;
}
