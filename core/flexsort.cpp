#include "core/flexsort.h"

#include <QLocale>
#include <vector>

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
// A display format read once into fixed-width fields, so that reading a date is a single
// pass over the text; sorting 100,000 dates through QLocale takes seconds.
struct DateField {
    enum Kind : unsigned char { Year, Month, Day, Hour, Minute, Second, AmPm, Literal };
    Kind kind;
    char16_t literal = 0;
};

struct CompiledFormat {
    QString qt;                    // the format in Qt's terms
    std::vector<DateField> fields; // dd MM yyyy hh HH mm ss AP and literal separators
    bool quick = false;            // every part is one of those
};

CompiledFormat compile(const QString& format) {
    CompiledFormat c;
    c.qt = qtDateFormat(format);
    const QStringView fmt(c.qt);
    for (qsizetype k = 0; k < fmt.size();) {
        const QStringView rest = fmt.mid(k);
        if (rest.startsWith(u"yyyy")) {
            c.fields.push_back({DateField::Year}), k += 4;
        } else if (rest.startsWith(u"dd")) {
            c.fields.push_back({DateField::Day}), k += 2;
        } else if (rest.startsWith(u"MM")) {
            c.fields.push_back({DateField::Month}), k += 2;
        } else if (rest.startsWith(u"hh") || rest.startsWith(u"HH")) {
            c.fields.push_back({DateField::Hour}), k += 2;
        } else if (rest.startsWith(u"mm")) {
            c.fields.push_back({DateField::Minute}), k += 2;
        } else if (rest.startsWith(u"ss")) {
            c.fields.push_back({DateField::Second}), k += 2;
        } else if (rest.startsWith(u"AP", Qt::CaseInsensitive)) {
            c.fields.push_back({DateField::AmPm}), k += 2;
        } else if (rest[0].isLetter() || rest[0] == u'\'') {
            return c; // a part only QLocale reads
        } else {
            c.fields.push_back({DateField::Literal, rest[0].unicode()}), ++k;
        }
    }
    c.quick = true;
    return c;
}

const CompiledFormat& compiledFormat(const QString& format) {
    thread_local QString lastFormat;
    thread_local CompiledFormat last = compile(QString());
    if (format != lastFormat) {
        lastFormat = format;
        last = compile(format);
    }
    return last;
}

// Reads a text in a compiled format; false: let QLocale try.
bool quickParse(QStringView t, const CompiledFormat& fmt, QDate& outDate, QTime& outTime) {
    if (!fmt.quick) return false;
    int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0, pm = -1;
    qsizetype i = 0;
    auto number = [&](int width, int& v) {
        if (i + width > t.size()) return false;
        v = 0;
        for (int n = 0; n < width; ++n, ++i) {
            const char16_t ch = t[i].unicode();
            if (ch < u'0' || ch > u'9') return false;
            v = v * 10 + (ch - u'0');
        }
        return true;
    };
    for (const DateField& f : fmt.fields) {
        bool ok = true;
        switch (f.kind) {
        case DateField::Year:
            ok = number(4, year);
            break;
        case DateField::Month:
            ok = number(2, month);
            break;
        case DateField::Day:
            ok = number(2, day);
            break;
        case DateField::Hour:
            ok = number(2, hour);
            break;
        case DateField::Minute:
            ok = number(2, minute);
            break;
        case DateField::Second:
            ok = number(2, second);
            break;
        case DateField::AmPm: {
            const QStringView word = t.mid(i, 2);
            ok = word.compare(u"AM", Qt::CaseInsensitive) == 0 ||
                 word.compare(u"PM", Qt::CaseInsensitive) == 0;
            pm = ok && (word[0] == u'P' || word[0] == u'p');
            i += 2;
            break;
        }
        case DateField::Literal:
            ok = i < t.size() && t[i] == f.literal;
            ++i;
            break;
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
} // namespace

QDateTime parseDate(const QString& text, const QString& format) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return {};
    if (!format.isEmpty()) {
        const CompiledFormat& compiled = compiledFormat(format);
        QDate date;
        QTime time;
        if (quickParse(t, compiled, date, time)) return QDateTime(date, time);
        const QDateTime d = dateLocale().toDateTime(t, compiled.qt);
        if (d.isValid()) return d;
    }
    return QDateTime::fromString(t, Qt::ISODate);
}

bool dateSortValue(const QString& text, const QString& format, double& value) {
    QDate date;
    QTime time;
    if (!format.isEmpty() && quickParse(QStringView(text).trimmed(), compiledFormat(format), date, time)) {
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
// The value of a decimal digit of any script at `i`, or -1.
int digitAt(const QString& s, qsizetype i) {
    const char16_t c = s[i].unicode();
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c < 0x80) return -1;
    return s[i].isDigit() ? s[i].digitValue() : -1;
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
    double x = 0, y = 0;
    const bool hx = dateSortValue(a, format, x);
    const bool hy = dateSortValue(b, format, y);
    if (hx != hy) return hx ? 1 : -1;
    return hx ? threeWay(x, y) : compareText(a, b);
}

int naturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    const qsizetype na = a.size(), nb = b.size();
    int zeros = 0; // the first difference in leading zeros: the last tie-break
    while (i < na && j < nb) {
        const int da = digitAt(a, i), db = digitAt(b, j);
        if (da >= 0 && db >= 0) {
            // Compare digit runs by value without overflow: skip leading zeros, then length.
            qsizetype si = i, sj = j;
            while (si < na && digitAt(a, si) == 0)
                ++si;
            while (sj < nb && digitAt(b, sj) == 0)
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < na && digitAt(a, ei) >= 0)
                ++ei;
            while (ej < nb && digitAt(b, ej) >= 0)
                ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k) {
                const int x = digitAt(a, si + k), y = digitAt(b, sj + k);
                if (x != y) return x < y ? -1 : 1;
            }
            if (zeros == 0 && si - i != sj - j) zeros = si - i < sj - j ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        // A digit of any script meets other text as its ASCII digit, so the order stays
        // transitive however digits and letters mix.
        const QChar x = da >= 0 ? QChar(char16_t(u'0' + da)) : a[i].toCaseFolded();
        const QChar y = db >= 0 ? QChar(char16_t(u'0' + db)) : b[j].toCaseFolded();
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na || j < nb) return i < na ? 1 : -1;
    return zeros;
}

} // namespace flexsort
