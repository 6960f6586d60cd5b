#pragma once

// The PDF text of an image page's objects, shared by the two ways a document is written (our
// own writer for image pages, QPDF once other PDFs' pages join), so both write the same.

#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/pdf/pagegeometry.h"

#include <map>
#include <string>

namespace imaging {

// A number as the page's text writes it: at most four decimals, no trailing zeros.
std::string pdfNumber(double v);

// A dictionary whose keys are written sorted, as QPDF writes them.
class PdfDictText {
public:
    void set(const std::string& key, std::string value) { m_entries[key] = std::move(value); }
    // "<< /Key value ... >>", with `tail` (e.g. " /Length 12") before the closing brackets.
    std::string text(const std::string& tail = {}) const;

private:
    std::map<std::string, std::string> m_entries;
};

// An embedded profile is used only when it describes the data (same colour space).
bool iccMatches(const QByteArray& icc, int components);
// The device colour space the profile stands for (its /Alternate): "/DeviceRGB"...
std::string deviceSpaceOf(const ImageStream& s);
// Components the profile describes (the base space of a palette is RGB).
int baseComponents(const ImageStream& s);
// Whether the image's colour space refers to an ICC profile stream.
bool usesIccProfile(const ImageStream& s, bool isMask);

// The image XObject's dictionary without /Length; `iccRef` and `maskRef` are the references
// ("6 0 R") of its profile stream and soft mask, empty when it has none.
PdfDictText imageDictionary(const ImageStream& s, bool isMask, const std::string& iccRef, const std::string& maskRef);

// The page's content stream: the image drawn upright on the page.
std::string pageContent(const PagePlacement& place);
std::string mediaBox(const PagePlacement& place);

} // namespace imaging
