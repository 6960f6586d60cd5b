#include "jobs/rtftext.h"

namespace rtftext {

namespace {

// \uN takes a signed 16-bit number; "?" is what a reader without Unicode shows instead.
void appendUnicode(QByteArray& out, char16_t unit) {
    out += "\\u";
    out += QByteArray::number(int(int16_t(unit)));
    out += '?';
}

} // namespace

QByteArray FromPlainText(const QString& text) {
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}"
                     "\\f0\\fs20\r\n";
    out.reserve(out.size() + text.size() * 11 / 10 + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
            out += "\\par\r\n";
        } else if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c < 0x20) {
            // Other control characters have no place in a paragraph.
        } else if (c < 0x80) {
            out += char(c);
        } else {
            // UTF-16 units as they stand: a character beyond the BMP is its surrogate pair.
            appendUnicode(out, c);
        }
    }
    out += "}\r\n";
    return out;
}

} // namespace rtftext
