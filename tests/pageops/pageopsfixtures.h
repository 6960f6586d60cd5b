#pragma once

// PDFs and TIFFs made by the tests, each page marked so its origin can be read back:
// a PDF page's MediaBox is 100 + N points wide, a TIFF page 40 + N pixels wide.

#include "tests/imaging/fixtures.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pofx {

struct PdfOptions {
    int firstMark = 1;         // the mark of the first page
    bool inheritBoxes = false; // MediaBox and Rotate on the page tree, not the pages
    int rotate = 0;
    bool cropBox = false;      // a CropBox inset by 5 points
    bool annotation = false;   // one /Text annotation per page
    QString userPassword = {}; // encrypted (AES-256) when set
};

// Pages filled with a grey that darkens with the mark.
bool makePdf(const QString& path, int pages, const PdfOptions& options = {});

// One page `width` x `height` points (rotated by `rotate`) filled with a drawing that crosses
// every row: a vertical colour ramp, slanted and curved edges, a stretched image, text and a
// diagonal line, all scaled to the page. `plain`: a flat fill and the two edges only, quick
// to draw on a large page.
bool makeDrawingPdf(const QString& path, double width, double height, int rotate = 0, bool plain = false);

// A one-page PDF put together from PDF source: streams and objects are added first, each
// answering the reference ("N 0 R") that the source of later ones and of the page uses.
class PdfParts {
public:
    PdfParts();
    ~PdfParts();
    std::string stream(const std::string& dictionary, const std::string& data);
    std::string object(const std::string& source);
    // An 8 x 8 RGB image XObject whose pixel in column i, row j (row 0 at the top) is
    // imagePixel(i, j).
    std::string image();
    static QRgb imagePixel(int i, int j) { return qRgb(32 * i + 16, 32 * j + 16, 128); }
    // The page: `width` x `height` points drawing `content` with `resources`; `extra` goes into
    // the page dictionary as it stands (/Annots...).
    bool write(const QString& path, double width, double height, const std::string& content,
               const std::string& resources, const std::string& extra = {});

private:
    struct Data;
    std::unique_ptr<Data> d;
};

// The marks of the file's pages in order (empty when it cannot be read).
std::vector<int> pdfMarks(const QString& path, const QString& password = QString());

// Page `page` (1-based) after inheritance: its effective MediaBox, CropBox, Rotate, annotation count.
struct PdfPage {
    double mediaBox[4] = {};
    double cropBox[4] = {};
    bool hasCropBox = false;
    int rotate = 0;
    int annotations = 0;
};
PdfPage pdfPage(const QString& path, int page);

// One bilevel G4 page per mark (40 + mark pixels wide).
bool makeTiff(const QString& path, const std::vector<int>& marks, uint16_t compression = COMPRESSION_CCITTFAX4);
std::vector<int> tiffMarks(const QString& path);
// The raw (still compressed) bytes of every strip of page `page` (1-based).
QByteArray rawStrips(const QString& path, int page);

QByteArray readAll(const QString& path);
// Names in `folder`, hidden ones included, sorted.
QStringList entries(const QString& folder);

class PageOpsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QTemporaryDir m_dir;
};

} // namespace pofx
