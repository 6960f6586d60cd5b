// The cursor file parser (animated cursors and plain .cur/.ico pictures).

#include "fuzz/fuzzinput.h"
#include "gui/cursor/anifile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto file = AniFile::parse(QByteArrayView(data, qsizetype(size)));
    if (file) {
        // Every step must name a frame that exists: the cursor class indexes without checks.
        for (int step = 0; step < file->steps(); ++step)
            (void)file->pictureAtStep(step).image.size();
    }
    return 0;
}
