#include "platform/pdfpages/pagerange.h"

#include <limits>

namespace pdfpages {

namespace {

class Scanner {
public:
    explicit Scanner(QStringView text) : m_text(text) {}

    void skipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == u' ' || m_text[m_pos] == u'\t'))
            ++m_pos;
    }
    bool atEnd() {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    bool take(char16_t c) {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    // A decimal number; a huge one saturates (it is then beyond any document, not a syntax error).
    bool number(qint64& value) {
        skipBlanks();
        const qsizetype start = m_pos;
        value = 0;
        while (m_pos < m_text.size() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9') {
            if (value < std::numeric_limits<int>::max())
                value = value * 10 + (m_text[m_pos].unicode() - u'0');
            ++m_pos;
        }
        return m_pos > start;
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

} // namespace

bool isWholeRange(QStringView text) {
    const QStringView t = text.trimmed();
    return t.isEmpty() || t == u"0";
}

bool parsePageRange(QStringView text, int pageCount, std::vector<RangeItem>& items, fileio::Failure& failure) {
    items.clear();
    if (isWholeRange(text)) {
        if (pageCount > 0) items.push_back({1, pageCount});
        return true;
    }
    const auto syntax = [&] {
        items.clear();
        return failure.set(kRangeSyntaxError, QStringLiteral("\"%1\" is not a page range").arg(text));
    };
    const auto beyond = [&](qint64 page) {
        items.clear();
        return failure.set(kRangeBeyondError, QStringLiteral("page %1 of range \"%2\" is outside 1-%3")
                                                  .arg(page)
                                                  .arg(text)
                                                  .arg(pageCount));
    };
    // Syntax first, so a bad text is reported as such whatever its numbers are.
    Scanner s(text);
    std::vector<std::pair<qint64, qint64>> raw; // last -1: "N-"
    do {
        qint64 first = 0;
        if (!s.number(first)) return syntax();
        qint64 last = first;
        if (s.take(u'-')) {
            // "N-": to the last page, at the end or before the next item.
            if (s.atEnd()) {
                raw.emplace_back(first, -1);
                break;
            }
            if (s.take(u',')) {
                raw.emplace_back(first, -1);
                if (s.atEnd()) return syntax(); // a trailing ","
                continue;
            }
            if (!s.number(last)) return syntax();
        }
        raw.emplace_back(first, last);
        if (s.atEnd()) break;
        if (!s.take(u',')) return syntax();
        if (s.atEnd()) return syntax();
    } while (true);

    for (const auto& [first, lastOrOpen] : raw) {
        const qint64 last = lastOrOpen < 0 ? pageCount : lastOrOpen;
        if (first < 1 || first > pageCount) return beyond(first);
        if (last < 1 || last > pageCount) return beyond(last);
        items.push_back({int(first), int(last)});
    }
    return true;
}

std::vector<int> rangePages(const std::vector<RangeItem>& items) {
    std::vector<int> pages;
    for (const RangeItem& item : items)
        for (int i = 0; i < item.count(); ++i)
            pages.push_back(item.page(i));
    return pages;
}

} // namespace pdfpages
