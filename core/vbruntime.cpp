#include "core/vbruntime.h"

#include "core/runtimeerror.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace vb {

double BankersRound(double value) {
    if (!std::isfinite(value))
        return value;
    return std::nearbyint(value); // the default FE_TONEAREST mode rounds half to even
}

namespace {

// Parses a whole text as a number the way the runtime's coercion does; false when it is not one.
bool parseNumber(const QString& text, double& out) {
    QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    if (s.startsWith(QLatin1Char('&')) && s.size() > 2) {
        const QChar base = s.at(1).toUpper();
        bool ok = false;
        qlonglong v = 0;
        if (base == QLatin1Char('H'))
            v = s.mid(2).toLongLong(&ok, 16);
        else if (base == QLatin1Char('O'))
            v = s.mid(2).toLongLong(&ok, 8);
        if (!ok)
            return false;
        out = static_cast<double>(v);
        return true;
    }
    // Group separators are allowed between digits; the decimal point is ".".
    QString plain;
    plain.reserve(s.size());
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char(',')) {
            const bool between = i > 0 && i + 1 < s.size() && s.at(i - 1).isDigit() && s.at(i + 1).isDigit();
            if (!between)
                return false;
            continue;
        }
        plain.append(c);
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(plain, &ok);
    if (!ok)
        return false;
    out = v;
    return true;
}

double coerce(const QString& text) {
    double v = 0;
    if (!parseNumber(text, v))
        raiseError(13);
    return v;
}

} // namespace

int16_t CInt(double value) {
    const double r = BankersRound(value);
    if (!std::isfinite(r) || r < -32768.0 || r > 32767.0)
        raiseError(6);
    return static_cast<int16_t>(r);
}

int16_t CInt(const QString& text) { return CInt(coerce(text)); }

int32_t CLng(double value) {
    const double r = BankersRound(value);
    if (!std::isfinite(r) || r < -2147483648.0 || r > 2147483647.0)
        raiseError(6);
    return static_cast<int32_t>(r);
}

int32_t CLng(const QString& text) { return CLng(coerce(text)); }

float CSng(double value) {
    if (std::isnan(value) || std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
        raiseError(6);
    return static_cast<float>(value);
}

float CSng(const QString& text) { return CSng(coerce(text)); }

double CDbl(const QString& text) { return coerce(text); }

double Val(const QString& text) {
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            s.append(c);
    if (s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) ||
        s.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) {
        const int base = s.at(1).toUpper() == QLatin1Char('H') ? 16 : 8;
        int end = 2;
        auto isDigitOf = [base](QChar c) {
            const int d = c.isDigit() ? c.unicode() - '0'
                          : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
                              ? c.toLower().unicode() - 'a' + 10
                              : 99;
            return d < base;
        };
        while (end < s.size() && isDigitOf(s.at(end)))
            ++end;
        bool ok = false;
        const qlonglong v = s.mid(2, end - 2).toLongLong(&ok, base);
        return ok ? static_cast<double>(v) : 0.0;
    }
    // Longest prefix of the form [sign] digits [. digits] [(e|d) [sign] digits].
    int i = 0;
    const int n = s.size();
    QString num;
    if (i < n && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        num.append(s.at(i++));
    bool digits = false;
    while (i < n && s.at(i).isDigit() && s.at(i).unicode() < 128) {
        num.append(s.at(i++));
        digits = true;
    }
    if (i < n && s.at(i) == QLatin1Char('.')) {
        num.append(s.at(i++));
        while (i < n && s.at(i).isDigit() && s.at(i).unicode() < 128) {
            num.append(s.at(i++));
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < n && (s.at(i).toLower() == QLatin1Char('e') || s.at(i).toLower() == QLatin1Char('d'))) {
        QString exp = QStringLiteral("e");
        int j = i + 1;
        if (j < n && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            exp.append(s.at(j++));
        bool expDigits = false;
        while (j < n && s.at(j).isDigit() && s.at(j).unicode() < 128) {
            exp.append(s.at(j++));
            expDigits = true;
        }
        if (expDigits)
            num.append(exp);
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(num, &ok);
    return ok ? v : 0.0;
}

bool IsNumeric(const QString& text) {
    double v = 0;
    return parseNumber(text, v);
}

QString FormatGridDate(const QDateTime& when) {
    return QLocale(QLocale::English).toString(when, QStringLiteral("dd/MM/yyyy hh:mm AP"));
}

QString FormatThousands(qint64 value) {
    static const QLocale grouped(QLocale::English, QLocale::UnitedStates);
    return grouped.toString(value);
}

QString FormatKB(qint64 kilobytes) { return FormatThousands(kilobytes) + QStringLiteral(" KB"); }

} // namespace vb
