#include "platform/pdfrender/pagescan.h"

#include "platform/pdfrender/codestreamhead.h"

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace pdfrender {

namespace {

// Bounds on the scan itself, against content built to make it (and poppler) work for ever. Real
// pages stay far below them; a page past one is refused, since what it draws is not known.
constexpr size_t kMaxStreamBytes = size_t(128) << 20; // decoded content of one stream
constexpr double kMaxScanBytes = double(512 << 20);   // decoded content read for one page
constexpr double kMaxOperators = 50e6;                // operators read for one page
constexpr int kMaxNesting = 64;                       // forms, patterns and glyphs inside each other
constexpr int kMaxGroups = 16;                        // transparency groups open at once

// No image may claim more samples than this (a gigabyte of 8-bit samples): a few kilobytes of
// Flate can claim 50,000 x 50,000 pixels, which poppler then decodes for seconds.
constexpr double kMaxSamples = double(1 << 30);

// Bytes a device pixel of a scaled image costs Splash: 4 for the colour and one for a mask
// plane, twice that when the image is turned other than by quarter turns (it is scaled, then
// transformed into a second bitmap).
constexpr double kScaledPixelBytes = 5;
constexpr double kTurnedPixelBytes = 10;

struct Refusal {
    QString text;
};

// Collects a stream's decoded bytes up to a cap.
class CappedString : public Pipeline {
public:
    CappedString(std::string& out, size_t cap) : Pipeline("page scan", nullptr), m_out(out), m_cap(cap) {}
    void write(unsigned char const* data, size_t len) override {
        if (len > m_cap - m_out.size()) {
            overflow = true;
            throw std::length_error("content over the scan's cap");
        }
        m_out.append(reinterpret_cast<const char*>(data), len);
    }
    void finish() override {}
    bool overflow = false;

private:
    std::string& m_out;
    size_t m_cap;
};

QString number(double value) {
    return QLocale(QLocale::English).toString(qint64(value));
}

// Components of an image's colour space; 4 for one not known (the most any takes).
int componentsOf(QPDFObjectHandle space, const std::function<QPDFObjectHandle(const std::string&)>& named) {
    if (space.isName() && named) {
        // A named space from the resources (inline images name them so).
        QPDFObjectHandle found = named(space.getName());
        if (!found.isNull()) space = found;
    }
    std::string family;
    if (space.isName()) family = space.getName();
    if (space.isArray() && space.getArrayNItems() > 0 && space.getArrayItem(0).isName())
        family = space.getArrayItem(0).getName();
    if (family == "/DeviceGray" || family == "/G" || family == "/CalGray" || family == "/Indexed" ||
        family == "/I" || family == "/Separation" || family == "/Pattern")
        return 1;
    if (family == "/DeviceRGB" || family == "/RGB" || family == "/CalRGB" || family == "/Lab") return 3;
    if (family == "/ICCBased" && space.getArrayNItems() > 1) {
        QPDFObjectHandle n = space.getArrayItem(1).getKeyIfDict("/N");
        if (n.isInteger() && n.getIntValue() >= 1 && n.getIntValue() <= 4) return int(n.getIntValue());
    }
    if (family == "/DeviceN" && space.getArrayNItems() > 1 && space.getArrayItem(1).isArray())
        return std::max(1, space.getArrayItem(1).getArrayNItems());
    return 4;
}

// An image's size and make-up, from its dictionary (an XObject's or an inline image's).
struct ImageInfo {
    double width = 0, height = 0;
    int components = 1;
    std::string lastFilter; // "/DCTDecode", "/JPXDecode", "/JBIG2Decode" or other
};

double positive(QPDFObjectHandle value) {
    double v = 0;
    return value.getValueAsNumber(v) && v > 0 ? std::floor(v) : 0;
}

std::string lastFilterOf(QPDFObjectHandle filter) {
    if (filter.isArray() && filter.getArrayNItems() > 0)
        filter = filter.getArrayItem(filter.getArrayNItems() - 1);
    if (!filter.isName()) return {};
    const std::string name = filter.getName();
    if (name == "/DCT") return "/DCTDecode";
    return name;
}

// An inline image's filters under their full names.
QPDFObjectHandle fullFilterNames(QPDFObjectHandle filter) {
    static const std::map<std::string, std::string> names = {
        {"/AHx", "/ASCIIHexDecode"}, {"/A85", "/ASCII85Decode"},  {"/LZW", "/LZWDecode"},
        {"/Fl", "/FlateDecode"},     {"/RL", "/RunLengthDecode"}, {"/CCF", "/CCITTFaxDecode"},
        {"/DCT", "/DCTDecode"}};
    const auto full = [&](QPDFObjectHandle name) {
        if (!name.isName()) return name;
        const auto it = names.find(name.getName());
        return it == names.end() ? name : QPDFObjectHandle::newName(it->second);
    };
    if (!filter.isArray()) return full(filter);
    std::vector<QPDFObjectHandle> all;
    for (QPDFObjectHandle f : filter.getArrayAsVector())
        all.push_back(full(f));
    return QPDFObjectHandle::newArray(all);
}

ImageInfo imageInfo(QPDFObjectHandle dict, const std::function<QPDFObjectHandle(const std::string&)>& named,
                    bool abbreviated) {
    ImageInfo info;
    const auto key = [&](const char* full, const char* shortName) {
        QPDFObjectHandle v = dict.getKey(full);
        if (v.isNull() && abbreviated) v = dict.getKey(shortName);
        return v;
    };
    info.width = positive(key("/Width", "/W"));
    info.height = positive(key("/Height", "/H"));
    QPDFObjectHandle mask = key("/ImageMask", "/IM");
    info.components =
        mask.isBool() && mask.getBoolValue() ? 1 : componentsOf(key("/ColorSpace", "/CS"), named);
    info.lastFilter = lastFilterOf(key("/Filter", "/F"));
    return info;
}

class Scanner {
public:
    explicit Scanner(double scale) : m_scale(scale) {}

    void page(QPDFObjectHandle page) {
        m_pdf = page.getOwningQPDF();
        QPDFPageObjectHelper helper(page);
        QPDFObjectHandle resources = helper.getAttribute("/Resources", false);
        std::string content;
        for (QPDFObjectHandle stream : page.getKey("/Contents").isArray()
                                           ? page.getKey("/Contents").getArrayAsVector()
                                           : std::vector{page.getKey("/Contents")}) {
            if (!stream.isStream()) continue;
            append(stream, content);
            content += '\n';
        }
        run(content, resources, QPDFMatrix(), 0, 0);
        annotations(page, resources);
    }

    PageDemand result;

private:
    struct State {
        QPDFMatrix ctm;
        int groups = 0;        // groups open around the content stream
        bool softMask = false; // a soft mask in effect, which holds a bitmap beside what is drawn
        int level() const { return groups + (softMask ? 1 : 0); }
        QPDFObjectHandle font;
        double fontSize = 0;
        double horizontalScale = 1;
    };

    // Appends the decoded data of `stream` to `out`, within the scan's bounds.
    void append(QPDFObjectHandle stream, std::string& out) {
        const size_t before = out.size();
        CappedString sink(out, before + kMaxStreamBytes);
        try {
            stream.pipeStreamData(&sink, nullptr, 0, qpdf_dl_generalized, true, false);
        } catch (const std::exception&) {
            // A damaged stream draws what it decoded so far, as in poppler.
        }
        if (sink.overflow)
            throw Refusal{QStringLiteral("its content is too large to check (over %1 MB in one stream)")
                              .arg(kMaxStreamBytes >> 20)};
        m_scanned += double(out.size() - before);
        if (m_scanned > kMaxScanBytes)
            throw Refusal{QStringLiteral("its content is too large to check (over %1 MB)")
                              .arg(kMaxScanBytes / (1 << 20))};
    }

    // Whether `object` was already read under the same transform and groups; marks it read.
    bool seen(QPDFObjectHandle object, const QPDFMatrix& m, int groups, char kind) {
        char key[200];
        std::snprintf(key, sizeof key, "%c%s %.6g %.6g %.6g %.6g %d %ld", kind,
                      object.getObjGen().unparse(' ').c_str(), m.a, m.b, m.c, m.d, groups,
                      m_chain.empty() ? 0L : m_chain.back().second);
        return !m_seen.insert(key).second;
    }

    // A resource named in the content being read: as in poppler, a name missing from a form's,
    // pattern's or glyph's resources is looked for in those of the content that drew it.
    QPDFObjectHandle lookup(const char* category, const std::string& name) {
        for (auto it = m_chain.rbegin(); it != m_chain.rend(); ++it) {
            QPDFObjectHandle found = it->first.getKeyIfDict(category).getKeyIfDict(name);
            if (!found.isNull()) return found;
        }
        return {};
    }

    // Reads content `data` with its own `resources` (or none) on top of those it was drawn from.
    void run(const std::string& data, QPDFObjectHandle resources, const QPDFMatrix& base, int groups,
             int nesting) {
        if (nesting > kMaxNesting)
            throw Refusal{QStringLiteral("its forms, patterns or glyphs are nested more than %1 deep")
                              .arg(kMaxNesting)};
        m_chain.emplace_back(resources, ++m_chains);
        read(data, base, groups, nesting);
        m_chain.pop_back();
    }

    void read(const std::string& data, const QPDFMatrix& base, int groups, int nesting) {
        Buffer buffer(reinterpret_cast<unsigned char*>(const_cast<char*>(data.data())), data.size());
        auto input = std::make_shared<BufferInputSource>("content", &buffer);
        QPDFTokenizer tokenizer;
        tokenizer.allowEOF();
        std::vector<State> stack;
        State state;
        state.ctm = base;
        state.groups = groups;
        QPDFMatrix textMatrix;
        // The last operands: no operator here takes more than six.
        std::vector<QPDFTokenizer::Token> operands;
        const auto numbers = [&](double* out, size_t count) {
            if (operands.size() < count) return false;
            for (size_t i = 0; i < count; ++i) {
                const QPDFTokenizer::Token& t = operands[operands.size() - count + i];
                if (t.getType() != QPDFTokenizer::tt_integer && t.getType() != QPDFTokenizer::tt_real)
                    return false;
                // Not atof: the process's locale may write decimals another way.
                const std::string& text = t.getValue();
                const char* first = text.c_str() + (text.starts_with('+') ? 1 : 0);
                if (std::from_chars(first, text.c_str() + text.size(), out[i]).ec != std::errc()) out[i] = 0;
            }
            return true;
        };
        const auto lastName = [&]() -> std::string {
            return !operands.empty() && operands.back().getType() == QPDFTokenizer::tt_name
                       ? operands.back().getValue()
                       : std::string();
        };
        for (;;) {
            const QPDFTokenizer::Token token = tokenizer.readToken(input, "content", true);
            const auto type = token.getType();
            if (type == QPDFTokenizer::tt_eof) break;
            if (type != QPDFTokenizer::tt_word) {
                if (operands.size() == 8) operands.erase(operands.begin());
                operands.push_back(token);
                continue;
            }
            if (++m_operators > kMaxOperators)
                throw Refusal{QStringLiteral("it has more than %1 drawing operations to check")
                                  .arg(number(kMaxOperators))};
            const std::string& op = token.getValue();
            double v[6];
            if (op == "q") {
                if (stack.size() < 4096) stack.push_back(state);
            } else if (op == "Q") {
                if (!stack.empty()) {
                    state = stack.back();
                    stack.pop_back();
                }
            } else if (op == "cm") {
                if (numbers(v, 6)) state.ctm.concat(QPDFMatrix(v[0], v[1], v[2], v[3], v[4], v[5]));
            } else if (op == "Do") {
                xobject(lookup("/XObject", lastName()), state, nesting);
            } else if (op == "gs") {
                QPDFObjectHandle mask = lookup("/ExtGState", lastName()).getKeyIfDict("/SMask");
                if (mask.isDictionary()) {
                    // The mask's group is drawn into a bitmap of its own, and the mask stays
                    // beside whatever is drawn after it (until another replaces it).
                    state.softMask = true;
                    form(mask.getKey("/G"), state.ctm, state.level(), nesting);
                } else if (mask.isName()) {
                    state.softMask = false;
                }
            } else if (op == "scn" || op == "SCN") {
                pattern(lookup("/Pattern", lastName()), base, state.level(), nesting);
            } else if (op == "BT") {
                textMatrix = QPDFMatrix();
            } else if (op == "Tm") {
                if (numbers(v, 6)) textMatrix = QPDFMatrix(v[0], v[1], v[2], v[3], 0, 0);
            } else if (op == "Tf") {
                if (numbers(v, 1) && operands.size() >= 2 &&
                    operands[operands.size() - 2].getType() == QPDFTokenizer::tt_name) {
                    state.font = lookup("/Font", operands[operands.size() - 2].getValue());
                    state.fontSize = v[0];
                }
            } else if (op == "Tz") {
                if (numbers(v, 1)) state.horizontalScale = v[0] / 100;
            } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
                type3(state, textMatrix, nesting);
            } else if (op == "BI") {
                inlineImage(tokenizer, input, state);
            }
            operands.clear();
        }
    }

    void xobject(QPDFObjectHandle object, const State& state, int nesting) {
        if (!object.isStream()) return;
        QPDFObjectHandle dict = object.getDict();
        if (dict.getKey("/Subtype").isNameAndEquals("/Image"))
            image(imageInfo(dict, {}, false), object, state.ctm);
        else if (dict.getKey("/Subtype").isNameAndEquals("/Form"))
            form(object, state.ctm, state.level(), nesting);
    }

    // A form XObject drawn at `ctm` (an annotation's appearance, a soft mask's group).
    void form(QPDFObjectHandle object, QPDFMatrix ctm, int groups, int nesting) {
        if (!object.isStream()) return;
        QPDFObjectHandle dict = object.getDict();
        QPDFObjectHandle matrix = dict.getKey("/Matrix");
        if (matrix.isMatrix()) ctm.concat(QPDFMatrix(matrix.getArrayAsMatrix()));
        if (dict.getKey("/Group").getKeyIfDict("/S").isNameAndEquals("/Transparency")) ++groups;
        if (groups > result.groups) result.groups = groups;
        if (groups > kMaxGroups)
            throw Refusal{QStringLiteral("it nests transparency more than %1 deep").arg(kMaxGroups)};
        if (seen(object, ctm, groups, 'F')) return;
        QPDFObjectHandle own = dict.getKey("/Resources");
        std::string content;
        append(object, content);
        run(content, own, ctm, groups, nesting + 1);
    }

    // A tiling pattern, which maps its cell onto the space the content it fills began in.
    void pattern(QPDFObjectHandle object, const QPDFMatrix& base, int groups, int nesting) {
        if (!object.isStream()) return;
        QPDFObjectHandle dict = object.getDict();
        if (!dict.getKey("/PatternType").isInteger() || dict.getKey("/PatternType").getIntValue() != 1)
            return;
        QPDFMatrix ctm = base;
        QPDFObjectHandle matrix = dict.getKey("/Matrix");
        if (matrix.isMatrix()) ctm.concat(QPDFMatrix(matrix.getArrayAsMatrix()));
        // Splash draws a cell into a bitmap of its own before it repeats it.
        if (dict.getKey("/BBox").isRectangle()) {
            const auto box = dict.getKey("/BBox").getArrayAsRectangle();
            const double w = std::max(std::abs(box.urx - box.llx), std::abs(positive(dict.getKey("/XStep"))));
            const double h = std::max(std::abs(box.ury - box.lly), std::abs(positive(dict.getKey("/YStep"))));
            drawn(QPDFMatrix(ctm.a * w, ctm.b * w, ctm.c * h, ctm.d * h, 0, 0), 0, 0, 0);
        }
        if (seen(object, ctm, groups, 'P')) return;
        QPDFObjectHandle own = dict.getKey("/Resources");
        std::string content;
        append(object, content);
        run(content, own, ctm, groups, nesting + 1);
    }

    // The glyphs of a Type 3 font shown at the current text state: each glyph is a content stream.
    void type3(const State& state, const QPDFMatrix& textMatrix, int nesting) {
        QPDFObjectHandle font = state.font;
        if (!font.isDictionary() || !font.getKey("/Subtype").isNameAndEquals("/Type3")) return;
        QPDFMatrix ctm = state.ctm;
        ctm.concat(textMatrix);
        ctm.concat(QPDFMatrix(state.fontSize * state.horizontalScale, 0, 0, state.fontSize, 0, 0));
        QPDFObjectHandle matrix = font.getKey("/FontMatrix");
        ctm.concat(matrix.isMatrix() ? QPDFMatrix(matrix.getArrayAsMatrix())
                                     : QPDFMatrix(0.001, 0, 0, 0.001, 0, 0));
        if (seen(font, ctm, state.level(), 'T')) return;
        QPDFObjectHandle own = font.getKey("/Resources");
        QPDFObjectHandle procs = font.getKey("/CharProcs");
        if (!procs.isDictionary()) return;
        for (auto [name, proc] : procs.getDictAsMap()) {
            if (!proc.isStream()) continue;
            std::string content;
            append(proc, content);
            run(content, own, ctm, state.level(), nesting + 1);
        }
    }

    void inlineImage(QPDFTokenizer& tokenizer, const std::shared_ptr<InputSource>& input,
                     const State& state) {
        // The dictionary runs to ID, then come the data and EI.
        std::string dictionary = "<<";
        for (;;) {
            const QPDFTokenizer::Token token = tokenizer.readToken(input, "content", true);
            if (token.getType() == QPDFTokenizer::tt_eof) return;
            if (token.isWord("ID")) break;
            if (dictionary.size() > 4096) return; // not an inline image poppler would draw either
            dictionary += ' ' + token.getRawValue();
        }
        char separator = 0;
        input->read(&separator, 1);
        tokenizer.expectInlineImage(input);
        const QPDFTokenizer::Token data = tokenizer.readToken(input, "content", true);
        QPDFObjectHandle dict;
        try {
            dict = QPDFObjectHandle::parse(m_pdf, dictionary + " >>", "inline image");
        } catch (const std::exception&) {
            return; // a dictionary poppler cannot read either: no image
        }
        if (!dict.isDictionary()) return;
        const ImageInfo info = imageInfo(
            dict, [&](const std::string& name) { return lookup("/ColorSpace", name); }, true);
        QPDFObjectHandle stream;
        if (m_pdf && (info.lastFilter == "/DCTDecode" || info.lastFilter == "/JPXDecode" ||
                      info.lastFilter == "/JBIG2Decode")) {
            // As a stream of its own, so that its header is read as an XObject's is.
            stream = QPDFObjectHandle::newStream(m_pdf, data.getValue());
            QPDFObjectHandle filter = dict.hasKey("/F") ? dict.getKey("/F") : dict.getKey("/Filter");
            stream.getDict().replaceKey("/Filter", fullFilterNames(filter));
            QPDFObjectHandle parms = dict.hasKey("/DP") ? dict.getKey("/DP") : dict.getKey("/DecodeParms");
            if (!parms.isNull()) stream.getDict().replaceKey("/DecodeParms", parms);
        }
        image(info, stream, state.ctm);
    }

    // Annotation appearances, which poppler draws over the page: the form's box, through its
    // matrix, is fitted to the annotation's rectangle.
    void annotations(QPDFObjectHandle page, QPDFObjectHandle resources) {
        QPDFObjectHandle annots = page.getKey("/Annots");
        if (!annots.isArray()) return;
        for (QPDFObjectHandle annot : annots.getArrayAsVector()) {
            QPDFObjectHandle rect = annot.getKeyIfDict("/Rect");
            QPDFObjectHandle normal = annot.getKeyIfDict("/AP").getKeyIfDict("/N");
            if (!rect.isRectangle()) continue;
            std::vector<QPDFObjectHandle> forms;
            if (normal.isStream()) forms.push_back(normal);
            if (normal.isDictionary())
                for (auto [state, appearance] : normal.getDictAsMap())
                    if (appearance.isStream()) forms.push_back(appearance);
            const auto r = rect.getArrayAsRectangle();
            for (QPDFObjectHandle appearance : forms) {
                QPDFObjectHandle dict = appearance.getDict();
                if (!dict.getKey("/BBox").isRectangle()) continue;
                QPDFObjectHandle matrix = dict.getKey("/Matrix");
                const QPDFMatrix formMatrix =
                    matrix.isMatrix() ? QPDFMatrix(matrix.getArrayAsMatrix()) : QPDFMatrix();
                const auto box = formMatrix.transformRectangle(dict.getKey("/BBox").getArrayAsRectangle());
                const double bw = box.urx - box.llx, bh = box.ury - box.lly;
                if (bw <= 0 || bh <= 0) continue;
                // form() applies the form's own matrix after this fit.
                const QPDFMatrix fit(std::abs(r.urx - r.llx) / bw, 0, 0, std::abs(r.ury - r.lly) / bh, 0, 0);
                m_chain.emplace_back(resources, ++m_chains);
                form(appearance, fit, 0, 0);
                m_chain.pop_back();
            }
        }
    }

    // An image drawn at `ctm`: its unit square on the device, checked against what its
    // source claims and what its decoder holds.
    void image(const ImageInfo& info, QPDFObjectHandle stream, const QPDFMatrix& ctm) {
        double sourcePixels = 0, decoderBytes = 0;
        source(info, stream, sourcePixels, decoderBytes);
        if (stream.isStream()) {
            QPDFObjectHandle dict = stream.getDict();
            for (const char* key : {"/SMask", "/Mask"}) {
                QPDFObjectHandle mask = dict.getKey(key);
                if (mask.isStream())
                    source(imageInfo(mask.getDict(), {}, false), mask, sourcePixels, decoderBytes);
            }
        }
        drawn(ctm, info.width, info.height, sourcePixels);
        result.decoderBytes = std::max(result.decoderBytes, decoderBytes);
    }

    // Adds what the source of one image (or of its mask) claims.
    void source(const ImageInfo& info, QPDFObjectHandle stream, double& pixels, double& decoderBytes) {
        double width = info.width, height = info.height;
        int components = info.components;
        bool whole = false;     // the decoder holds the whole image
        double sampleBytes = 0; // what it holds a sample in
        const bool jpeg = info.lastFilter == "/DCTDecode", jpx = info.lastFilter == "/JPXDecode",
                   jbig2 = info.lastFilter == "/JBIG2Decode";
        if (jpeg || jpx || jbig2) {
            // The decoder sizes the image by its own header, not the dictionary.
            const CodestreamHead head = readCodestreamHead(stream, jpx     ? Codestream::Jpx
                                                                   : jbig2 ? Codestream::Jbig2
                                                                           : Codestream::Jpeg);
            if (head.buried)
                throw Refusal{
                    QStringLiteral("the size of an image on it cannot be read from its first megabytes")};
            if (head.found) {
                width = std::max(width, double(head.width));
                height = std::max(height, double(head.height));
                components = std::max(components, head.components);
            }
            // libjpeg keeps a progressive image's coefficients (2 bytes a sample), OpenJPEG
            // its samples as ints, JBIG2 its page as bits.
            whole = !jpeg || head.progressive;
            sampleBytes = jpeg ? 2 : jpx ? 4 : 1.0 / 8;
        }
        const double samples = width * height * components;
        if (samples > kMaxSamples)
            throw Refusal{
                QStringLiteral("it draws an image of %1 x %2 pixels (at most %3 samples: width x height x "
                               "colour components)")
                    .arg(number(width), number(height), number(kMaxSamples))};
        pixels += width * height;
        if (whole) decoderBytes += samples * sampleBytes;
    }

    // Something Splash holds at its size on the device: the unit square through `ctm`.
    void drawn(const QPDFMatrix& ctm, double sourceWidth, double sourceHeight, double sourcePixels) {
        const double across = std::hypot(ctm.a, ctm.b) * m_scale + 2,
                     down = std::hypot(ctm.c, ctm.d) * m_scale + 2;
        const double eps = 1e-9 * (std::abs(ctm.a) + std::abs(ctm.b) + std::abs(ctm.c) + std::abs(ctm.d));
        const bool quarterTurns = (std::abs(ctm.b) <= eps && std::abs(ctm.c) <= eps) ||
                                  (std::abs(ctm.a) <= eps && std::abs(ctm.d) <= eps);
        const double scaled = across * down * (quarterTurns ? kScaledPixelBytes : kTurnedPixelBytes);
        if (scaled > result.scaledBytes) {
            result.scaledBytes = scaled;
            const auto side = [](double v) { return int(std::min(v, 2e9)); };
            result.largestDrawn = QSize(side(across - 2), side(down - 2));
            result.largestSource = QSize(side(sourceWidth), side(sourceHeight));
        }
        result.sourceBytes = std::max(result.sourceBytes, sourcePixels * 4);
    }

    double m_scale;
    QPDF* m_pdf = nullptr;
    double m_scanned = 0;
    double m_operators = 0;
    std::set<std::string> m_seen;
    // The resources of the content being read and of those that drew it, each with a number
    // of its own: what a name means depends on the whole chain.
    std::vector<std::pair<QPDFObjectHandle, long>> m_chain;
    long m_chains = 0;
};

} // namespace

PageDemand scanPage(QPDFObjectHandle page, int dpi) {
    Scanner scanner(dpi / 72.0);
    try {
        scanner.page(page);
    } catch (const Refusal& refusal) {
        scanner.result.refusal = refusal.text;
    } catch (const std::exception& e) {
        scanner.result.refusal =
            QStringLiteral("its content cannot be read (%1)").arg(QString::fromUtf8(e.what()));
    }
    return scanner.result;
}

} // namespace pdfrender
