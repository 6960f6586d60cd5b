#include "platform/widgets/flexgridsort.h"

#include <QLocale>

namespace flexsort {

bool isTrueText(const QString& text) {
    const QString t = text.trimmed();
    return t == u"1" || t == u"-1" || t.compare(u"true", Qt::CaseInsensitive) == 0;
}

QString qtDateFormat(const QString& format) {
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < format.size();) {
        const QStringView rest = QStringView(format).mid(i);
        if (rest.startsWith(u"ampm", Qt::CaseInsensitive)) {
            out += u"AP";
            i += 4;
        } else if (rest.startsWith(u"AM/PM", Qt::CaseInsensitive)) {
            out += u"AP";
            i += 5;
        } else if (rest.startsWith(u"hh", Qt::CaseInsensitive)) {
            out += u"hh";
            afterHour = true;
            i += 2;
        } else if (rest.startsWith(u"nn", Qt::CaseInsensitive)) {
            out += u"mm";
            i += 2;
        } else if (rest.startsWith(u"mm", Qt::CaseInsensitive)) {
            out += afterHour ? u"mm" : u"MM";
            afterHour = false;
            i += 2;
        } else if (rest.startsWith(u"ss", Qt::CaseInsensitive)) {
            out += u"ss";
            i += 2;
        } else if (rest.startsWith(u"yyyy", Qt::CaseInsensitive)) {
            out += u"yyyy";
            i += 4;
        } else if (rest.startsWith(u"dd", Qt::CaseInsensitive)) {
            out += u"dd";
            i += 2;
        } else {
            const QChar ch = format[i];
            if (ch.isLetter())
                out += u'\'' + QString(ch) + u'\'';
            else
                out += ch;
            ++i;
        }
    }
    return out;
}

namespace {
// AM/PM in English whatever the user's locale, matching how the grid's dates are written.
const QLocale& dateLocale() {
    static const QLocale english(QLocale::English);
    return english;
}
} // namespace

namespace {
// Reads fixed-width numeric patterns (dd MM yyyy hh HH mm ss AP and literal separators)
// directly; sorting 100,000 dates through QLocale takes seconds. False: let QLocale try.
bool quickParse(QStringView t, QStringView fmt, QDate& outDate, QTime& outTime) {
    int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0, pm = -1;
    qsizetype i = 0, k = 0;
    auto number = [&](int width, int& v) {
        if (i + width > t.size()) return false;
        v = 0;
        for (int n = 0; n < width; ++n, ++i) {
            const QChar ch = t[i];
            if (ch < u'0' || ch > u'9') return false;
            v = v * 10 + (ch.unicode() - u'0');
        }
        return true;
    };
    while (k < fmt.size()) {
        const QStringView rest = fmt.mid(k);
        bool ok = true;
        if (rest.startsWith(u"yyyy")) {
            ok = number(4, year), k += 4;
        } else if (rest.startsWith(u"dd")) {
            ok = number(2, day), k += 2;
        } else if (rest.startsWith(u"MM")) {
            ok = number(2, month), k += 2;
        } else if (rest.startsWith(u"hh") || rest.startsWith(u"HH")) {
            ok = number(2, hour), k += 2;
        } else if (rest.startsWith(u"mm")) {
            ok = number(2, minute), k += 2;
        } else if (rest.startsWith(u"ss")) {
            ok = number(2, second), k += 2;
        } else if (rest.startsWith(u"AP", Qt::CaseInsensitive)) {
            const QStringView word = t.mid(i, 2);
            ok = word.compare(u"AM", Qt::CaseInsensitive) == 0 ||
                 word.compare(u"PM", Qt::CaseInsensitive) == 0;
            pm = ok && (word[0] == u'P' || word[0] == u'p');
            i += 2, k += 2;
        } else if (rest[0].isLetter() || rest[0] == u'\'') {
            return false;
        } else {
            ok = i < t.size() && t[i] == rest[0];
            ++i, ++k;
        }
        if (!ok) return false;
    }
    if (i != t.size() || day < 0 || month < 0 || year < 0) return false;
    if (pm >= 0) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    outDate = QDate(year, month, day);
    outTime = QTime(hour, minute, second);
    return outDate.isValid() && outTime.isValid();
}

const QString& cachedQtFormat(const QString& format) {
    thread_local QString lastFormat, lastQt;
    if (format != lastFormat) {
        lastFormat = format;
        lastQt = qtDateFormat(format);
    }
    return lastQt;
}
} // namespace

QDateTime parseDate(const QString& text, const QString& format) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return {};
    if (!format.isEmpty()) {
        const QString& qt = cachedQtFormat(format);
        QDate date;
        QTime time;
        if (quickParse(t, qt, date, time)) return QDateTime(date, time);
        const QDateTime d = dateLocale().toDateTime(t, qt);
        if (d.isValid()) return d;
    }
    return QDateTime::fromString(t, Qt::ISODate);
}

bool dateSortValue(const QString& text, const QString& format, double& value) {
    QDate date;
    QTime time;
    if (!format.isEmpty() && quickParse(QStringView(text).trimmed(), cachedQtFormat(format), date, time)) {
        value = double(date.toJulianDay()) * 86400000.0 + time.msecsSinceStartOfDay();
        return true;
    }
    const QDateTime d = parseDate(text, format);
    if (!d.isValid()) return false;
    value = double(d.date().toJulianDay()) * 86400000.0 + d.time().msecsSinceStartOfDay();
    return true;
}

QString displayDate(const QString& text, const QString& format) {
    if (text.isEmpty() || !(text[0] >= u'0' && text[0] <= u'9') || text.size() < 10 || text[4] != u'-')
        return text; // not ISO: already a display text
    const QDateTime d = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    return d.isValid() ? dateLocale().toString(d, qtDateFormat(format)) : text;
}

bool leadingNumber(const QString& text, double& value) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    double v = 0;
    bool digits = false;
    for (; i < n; ++i) {
        const QChar ch = text[i];
        if (ch >= u'0' && ch <= u'9') {
            v = v * 10 + (ch.unicode() - u'0');
            digits = true;
        } else if (ch == u',' && digits && i + 1 < n && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
            continue;
        } else {
            break;
        }
    }
    if (i < n && text[i] == u'.') {
        double scale = 0.1;
        for (++i; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, scale /= 10) {
            v += (text[i].unicode() - u'0') * scale;
            digits = true;
        }
    }
    if (!digits) return false;
    value = negative ? -v : v;
    return true;
}

int compareText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive);
}

namespace {
bool isAsciiDigit(QChar ch) {
    return ch >= u'0' && ch <= u'9';
}
template <class T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}
} // namespace

int compareNumeric(const QString& a, const QString& b) {
    double x = 0, y = 0;
    const bool hx = leadingNumber(a, x);
    const bool hy = leadingNumber(b, y);
    if (hx != hy) return hx ? 1 : -1;
    return hx ? threeWay(x, y) : compareText(a, b);
}

int compareDates(const QString& a, const QString& b, const QString& format) {
    const QDateTime x = parseDate(a, format);
    const QDateTime y = parseDate(b, format);
    if (x.isValid() != y.isValid()) return x.isValid() ? 1 : -1;
    return x.isValid() ? threeWay(x, y) : compareText(a, b);
}

int naturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    const qsizetype na = a.size(), nb = b.size();
    while (i < na && j < nb) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            // Compare digit runs by value without overflow: skip leading zeros, then length.
            qsizetype si = i, sj = j;
            while (si < na && a[si] == u'0')
                ++si;
            while (sj < nb && b[sj] == u'0')
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < na && isAsciiDigit(a[ei]))
                ++ei;
            while (ej < nb && isAsciiDigit(b[ej]))
                ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
            if (c != 0) return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const QChar x = a[i].toCaseFolded();
        const QChar y = b[j].toCaseFolded();
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na || j < nb) return i < na ? 1 : -1;
    return compareText(a, b) ? compareText(a, b) : threeWay(a.size(), b.size());
}

} // namespace flexsort
