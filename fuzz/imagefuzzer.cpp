// One image format's readers: the bits-per-pixel query and the page reader, with the page
// encoded as a document would take it. Built once per format; QM_FUZZ_FORMAT names it.
//
// Input: one option byte, then the file. The option's low bits pick the compression name
// for every colour class (so the encoders run on whatever the decoder produced); for
// JPEG 2000 its high bit reads the file as a bare codestream.

#include "fuzz/fuzzinput.h"
#include "platform/imaging/formats/imagereader.h"
#include "platform/imaging/pdf/streamstore.h"

using namespace imaging;

namespace {
constexpr ImageFormat kFormat = ImageFormat::QM_FUZZ_FORMAT;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t option = data[0];
    const QString path = fuzz::writeInput(data + 1, size - 1);
    ImageFormat format = kFormat;
    if (format == ImageFormat::Jp2 && (option & 0x80)) format = ImageFormat::J2k;

    QString error;
    imageBitsPerPixel(path, error); // recognises the format by content first

    CompressionChoice choice;
    const auto table = compressionTable();
    const Compression compression = table[(option & 0x7f) % table.size()].id;
    for (int colourClass = 1; colourClass <= 3; ++colourClass)
        choice.set(colourClass, compression);
    StreamStore store(64 << 10); // small, so the spill file is used too
    std::vector<EncodedPage> pages;
    if (readImagePages(path, format, choice, store, pages, error) > 0) {
        // Pass-through streams read the source again only now, as the document writer would.
        size_t total = 0;
        const ByteSink sink = [&](const uint8_t*, size_t n) { total += n; };
        for (const EncodedPage& page : pages) {
            page.image.data->writeTo(sink, error);
            if (page.softMask) page.softMask->data->writeTo(sink, error);
        }
    }
    return 0;
}
