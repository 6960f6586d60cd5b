#include "platform/imaging/pdf/pdfimagewriter.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/imaging/pdf/pdfimagetext.h"

#include <cstdio>
#include <zlib.h>

namespace imaging {

namespace {

std::string ref(int object) {
    return std::to_string(object) + " 0 R";
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A profile stream is compressed as QPDF compresses the streams it may filter.
std::string deflated(const QByteArray& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size_t(size), '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
                  uLong(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::bad_alloc();
    out.resize(size_t(size));
    return out;
}

// Object numbers as QPDF gives them, breadth first from the catalogue: the pages, then each
// page's content and image, then each image's profile and soft mask.
struct Numbers {
    struct Page {
        int page = 0, content = 0, image = 0, icc = 0, mask = 0;
    };
    std::vector<Page> pages;
    int count = 0; // objects, without object 0

    explicit Numbers(const std::vector<EncodedPage>& list) : pages(list.size()) {
        int next = 3;
        for (Page& p : pages)
            p.page = next++;
        for (Page& p : pages) {
            p.content = next++;
            p.image = next++;
        }
        for (size_t i = 0; i < list.size(); ++i) {
            if (usesIccProfile(list[i].image, false)) pages[i].icc = next++;
            if (list[i].softMask) pages[i].mask = next++;
        }
        count = next - 1;
    }
};

class Output {
public:
    Output(fileio::AtomicWriter& file, int objects) : m_file(file), m_offsets(size_t(objects) + 1, 0) {}

    void put(const void* data, size_t size) {
        m_file.write(data, size);
    }
    void put(const std::string& text) { put(text.data(), text.size()); }

    void object(int number, const std::string& body) {
        begin(number);
        put(body + "\nendobj\n");
    }
    void stream(int number, const std::string& dict, const std::string& data) {
        begin(number);
        put(dict + "\nstream\n");
        put(data);
        put("endstream\nendobj\n");
    }
    // Answers ApOk, or ApCannotRead with `error` set when the data could not be read.
    int stream(int number, const PdfDictText& dict, const StreamData& data, QString& error) {
        begin(number);
        const uint64_t length = data.size();
        put(dict.text(" /Length " + std::to_string(length)) + "\nstream\n");
        const qint64 before = m_file.size();
        if (!data.copyInto(m_file, error)) return ApCannotRead;
        if (!m_file.errorNumber() && uint64_t(m_file.size() - before) != length) {
            error = QStringLiteral("stream data of %1 bytes where %2 were expected").arg(m_file.size() - before).arg(length);
            return ApCannotRead;
        }
        put("endstream\nendobj\n");
        return ApOk;
    }
    void finish(const std::string& id) {
        const uint64_t xref = uint64_t(m_file.size());
        char line[32];
        put("xref\n0 " + std::to_string(m_offsets.size()) + "\n0000000000 65535 f \n");
        for (size_t i = 1; i < m_offsets.size(); ++i) {
            std::snprintf(line, sizeof line, "%010llu 00000 n \n", static_cast<unsigned long long>(m_offsets[i]));
            put(line);
        }
        const std::string idText = "<" + hex(id) + ">";
        put("trailer << /Root 1 0 R /Size " + std::to_string(m_offsets.size()) + " /ID [" + idText + idText +
            "] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
    }

private:
    void begin(int number) {
        m_offsets[size_t(number)] = uint64_t(m_file.size());
        put(std::to_string(number) + " 0 obj\n");
    }

    fileio::AtomicWriter& m_file;
    std::vector<uint64_t> m_offsets;
};

} // namespace

int writeImageDocument(const std::vector<EncodedPage>& pages, int version, const std::string& id,
                       fileio::AtomicWriter& file, QString& error, const std::function<void(int percent)>& progress) {
    const Numbers numbers(pages);
    Output out(file, numbers.count);
    out.put("%PDF-" + std::to_string(version / 10) + "." + std::to_string(version % 10) + "\n%\xbf\xf7\xa2\xfe\n");
    out.object(1, "<< /Pages 2 0 R /Type /Catalog >>");
    std::string kids;
    for (const Numbers::Page& n : numbers.pages)
        kids += " " + ref(n.page);
    out.object(2, "<< /Count " + std::to_string(pages.size()) + " /Kids [" + kids + " ] /Type /Pages >>");
    std::vector<PagePlacement> places;
    places.reserve(pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const EncodedPage& page = pages[i];
        places.push_back(placeImage(page.image.width, page.image.height, page.dpiX, page.dpiY, page.orientation));
        const Numbers::Page& n = numbers.pages[i];
        out.object(n.page, "<< /Contents " + ref(n.content) + " /MediaBox " + mediaBox(places.back()) +
                               " /Parent 2 0 R /Resources << /XObject << /Im0 " + ref(n.image) +
                               " >> >> /Type /Page >>");
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        const Numbers::Page& n = numbers.pages[i];
        const std::string content = pageContent(places[i]);
        out.stream(n.content, "<< /Length " + std::to_string(content.size()) + " >>", content);
        const PdfDictText dict =
            imageDictionary(pages[i].image, false, n.icc ? ref(n.icc) : "", n.mask ? ref(n.mask) : "");
        if (const int rc = out.stream(n.image, dict, *pages[i].image.data, error); rc != ApOk) return rc;
        // The images are nearly all of the file; profiles and masks follow in moments.
        if (progress) progress(int(99 * (i + 1) / pages.size()));
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        const Numbers::Page& n = numbers.pages[i];
        if (n.icc) {
            const ImageStream& s = pages[i].image;
            const std::string profile = deflated(s.icc);
            out.stream(n.icc,
                       "<< /Alternate " + deviceSpaceOf(s) + " /N " + std::to_string(baseComponents(s)) + " /Length " +
                           std::to_string(profile.size()) + " /Filter /FlateDecode >>",
                       profile);
        }
        if (n.mask) {
            const ImageStream& mask = *pages[i].softMask;
            if (const int rc = out.stream(n.mask, imageDictionary(mask, true, "", ""), *mask.data, error); rc != ApOk)
                return rc;
        }
    }
    out.finish(id);
    if (progress) progress(100);
    if (file.errorNumber()) {
        error = file.errorString();
        return writeFailureCode(file);
    }
    return ApOk;
}

int writeFailureCode(const fileio::AtomicWriter& file) {
    return file.errorNumber() == 61 ? ApDiskFull : ApCannotWrite;
}

} // namespace imaging
