// The clone job's list (XML): any document read; a list it accepts must be written and read
// back to the same list.

#include "tools/clonelist.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto list = clonejob::parseCloneList(QByteArrayView(data, qsizetype(size)));
    if (!list) return 0;
    const QByteArray written = clonejob::cloneListXml(*list);
    const auto again = clonejob::parseCloneList(written);
    if (!again || again->files.size() != list->files.size() || clonejob::cloneListXml(*again) != written)
        std::abort();
    return 0;
}
