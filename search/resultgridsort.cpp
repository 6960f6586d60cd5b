#include "search/resultgridsort.h"

#include <cmath>
#include <limits>

namespace resultgrid {

namespace {

bool isNumericCode(int order) {
    return order == NumericAscending || order == NumericDescending;
}
bool isGenericCode(int order) {
    return order == GenericAscending || order == GenericDescending;
}

// Below any number a cell can show, so "Error" and blanks gather under 0.
constexpr double kNoNumber = -std::numeric_limits<double>::infinity();

// Cell dates are written as "dd/MM/yyyy hh:mm AP"; read at fixed places, since a
// sort reads each date many times. Anything else (blank, damaged) sorts before every
// real date.
constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

qint64 dateKey(QStringView text) {
    text = text.trimmed();
    if (text.size() != 19) return kNoDate;
    auto num = [&](qsizetype at, qsizetype len) -> int {
        int v = 0;
        for (qsizetype i = at; i < at + len; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9') return -1;
            v = v * 10 + (c - u'0');
        }
        return v;
    };
    const int day = num(0, 2), month = num(3, 2), year = num(6, 4), hour = num(11, 2), minute = num(14, 2);
    if (day < 1 || month < 1 || month > 12 || year < 0 || hour < 1 || hour > 12 || minute < 0 ||
        minute > 59 || text[2] != u'/' || text[5] != u'/' || text[10] != u' ' || text[13] != u':' ||
        text[16] != u' ')
        return kNoDate;
    const QChar ampm = text[17].toUpper();
    if ((ampm != u'A' && ampm != u'P') || text[18].toUpper() != u'M') return kNoDate;
    const int hour24 = hour % 12 + (ampm == u'P' ? 12 : 0);
    return (((qint64(year) * 12 + (month - 1)) * 31 + (day - 1)) * 24 + hour24) * 60 + minute;
}

template <class T> int threeWay(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

int BeforeSortOrder(const QString& key, int order, bool sortByNumeric) {
    const bool descending = IsDescending(order);
    if ((key == QLatin1String("Name") && sortByNumeric) || key == QLatin1String("Pages") ||
        key == QLatin1String("Size (In KB)")) {
        if (isNumericCode(order)) return order;
        return descending ? NumericDescending : NumericAscending;
    }
    if (key == QLatin1String("Name")) {
        if (isGenericCode(order)) return order;
        return descending ? GenericDescending : GenericAscending;
    }
    return order;
}

bool IsDescending(int order) {
    return order == GenericDescending || order == NumericDescending;
}

double SortNumber(const QString& text) {
    // "1,234 KB", "12", "-3.5": digits with group separators, an optional fraction and
    // an optional " KB"; read by hand, since a sort reads each cell many times.
    QStringView t = QStringView(text).trimmed();
    if (t.endsWith(u"KB", Qt::CaseInsensitive)) t = t.chopped(2).trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
    double value = 0;
    bool digits = false;
    for (; i < t.size() && (t[i].isDigit() || t[i] == u','); ++i) {
        if (t[i] != u',') {
            value = value * 10 + t[i].digitValue();
            digits = true;
        }
    }
    if (i < t.size() && t[i] == u'.') {
        double scale = 0.1;
        for (++i; i < t.size() && t[i].isDigit(); ++i, scale /= 10) {
            value += t[i].digitValue() * scale;
            digits = true;
        }
    }
    if (!digits || i != t.size() || !std::isfinite(value)) return kNoNumber;
    return negative ? -value : value;
}

int CompareNatural(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    const qsizetype na = a.size(), nb = b.size();
    while (i < na && j < nb) {
        const QChar ca = a[i], cb = b[j];
        if (ca.isDigit() && cb.isDigit()) {
            // Compare the two digit runs as numbers without converting them, so runs
            // of any length work: skip leading zeros, then longer wins, then digits.
            qsizetype si = i, sj = j;
            while (si < na && a[si] == QLatin1Char('0'))
                ++si;
            while (sj < nb && b[sj] == QLatin1Char('0'))
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < na && a[ei].isDigit())
                ++ei;
            while (ej < nb && b[ej].isDigit())
                ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k) {
                if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
            }
            // Equal values: fewer leading zeros first, so the order stays total.
            if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const QChar la = ca.toCaseFolded(), lb = cb.toCaseFolded();
        if (la != lb) return la < lb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na) return 1;
    if (j < nb) return -1;
    return 0;
}

int CompareCells(const QString& a, const QString& b, int dataType, int order) {
    if (dataType == TypeDate) return threeWay(dateKey(a), dateKey(b));
    if (dataType == TypeDecimal) return threeWay(SortNumber(a), SortNumber(b));
    if (isNumericCode(order)) return CompareNatural(a, b);
    return threeWay(a.compare(b, Qt::CaseInsensitive), 0);
}

} // namespace resultgrid
