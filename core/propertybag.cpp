#include "core/propertybag.h"

#include <QSet>
#include <QtEndian>
#include <array>

namespace {

constexpr char kMagic[4] = {'Q', 'M', 'P', 'B'};
constexpr uint16_t kVersion = 1;
constexpr int kHeaderSize = 16;
enum Type : uint8_t { TText = 1, TByte = 2, TInt16 = 3, TInt32 = 4 };

template <class T> void put(QByteArray& out, T v) {
    char buf[sizeof(T)];
    qToLittleEndian(v, buf);
    out.append(buf, sizeof(T));
}

// Reads little-endian values from a bounded span; every read checks the bounds.
class Reader {
public:
    Reader(const char* data, qsizetype size) : m_p(data), m_end(data + size) {}
    template <class T> bool get(T& v) {
        if (m_end - m_p < static_cast<qsizetype>(sizeof(T)))
            return false;
        v = qFromLittleEndian<T>(m_p);
        m_p += sizeof(T);
        return true;
    }
    bool text(qsizetype n, QString& s) {
        if (n < 0 || m_end - m_p < n)
            return false;
        s = QString::fromUtf8(m_p, n);
        m_p += n;
        return true;
    }
    bool atEnd() const { return m_p == m_end; }

private:
    const char* m_p;
    const char* m_end;
};

} // namespace

uint32_t PropertyBag::crc32(const char* data, qsizetype size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

int PropertyBag::find(const QString& name) const {
    for (int i = 0; i < m_values.size(); ++i)
        if (m_values[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void PropertyBag::WriteProperty(const QString& name, const Value& value) {
    const int i = find(name);
    if (i >= 0)
        m_values[i].second = value;
    else
        m_values.append({name, value});
}

std::optional<PropertyBag::Value> PropertyBag::ReadProperty(const QString& name) const {
    const int i = find(name);
    if (i < 0)
        return std::nullopt;
    return m_values[i].second;
}

QByteArray PropertyBag::Contents() const {
    QByteArray payload;
    for (const auto& [name, value] : m_values) {
        const QByteArray n = name.toUtf8();
        put<uint8_t>(payload, static_cast<uint8_t>(value.index() + 1));
        put<uint16_t>(payload, static_cast<uint16_t>(n.size()));
        payload.append(n);
        if (const auto* s = std::get_if<QString>(&value)) {
            const QByteArray t = s->toUtf8();
            put<uint32_t>(payload, static_cast<uint32_t>(t.size()));
            payload.append(t);
        } else if (const auto* b = std::get_if<uint8_t>(&value)) {
            put<uint8_t>(payload, *b);
        } else if (const auto* i16 = std::get_if<int16_t>(&value)) {
            put<int16_t>(payload, *i16);
        } else {
            put<int32_t>(payload, std::get<int32_t>(value));
        }
    }
    QByteArray out(kMagic, sizeof kMagic);
    put<uint16_t>(out, kVersion);
    put<uint16_t>(out, static_cast<uint16_t>(m_values.size()));
    put<uint32_t>(out, static_cast<uint32_t>(payload.size()));
    put<uint32_t>(out, crc32(payload.constData(), payload.size()));
    out.append(payload);
    return out;
}

std::optional<PropertyBag> PropertyBag::fromContents(const QByteArray& bytes, QString* why) {
    auto fail = [why](const char* reason) -> std::optional<PropertyBag> {
        if (why)
            *why = QString::fromLatin1(reason);
        return std::nullopt;
    };
    if (bytes.size() < kHeaderSize || !bytes.startsWith(QByteArray(kMagic, sizeof kMagic)))
        return fail("not a settings record");
    Reader header(bytes.constData() + 4, kHeaderSize - 4);
    uint16_t version = 0, count = 0;
    uint32_t length = 0, crc = 0;
    header.get(version);
    header.get(count);
    header.get(length);
    header.get(crc);
    if (version != kVersion)
        return fail("unknown record version");
    if (length > static_cast<uint64_t>(bytes.size() - kHeaderSize))
        return fail("record cut short");
    const char* payload = bytes.constData() + kHeaderSize;
    if (crc32(payload, length) != crc)
        return fail("record checksum mismatch");

    PropertyBag bag;
    Reader r(payload, length);
    // Names seen so far, case-folded: a record may hold up to 65535 values, and a scan of
    // the earlier names for each one would stall start-up for many seconds on a crafted file.
    QSet<QString> names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        uint8_t type = 0;
        uint16_t nameLength = 0;
        QString name;
        if (!r.get(type) || !r.get(nameLength) || !r.text(nameLength, name) || name.isEmpty())
            return fail("damaged value name");
        const QString folded = name.toCaseFolded();
        if (names.contains(folded))
            return fail("value stored twice");
        names.insert(folded);
        Value value;
        bool ok = false;
        switch (type) {
        case TText: {
            uint32_t n = 0;
            QString s;
            ok = r.get(n) && r.text(static_cast<qsizetype>(n), s);
            value = s;
            break;
        }
        case TByte: {
            uint8_t v = 0;
            ok = r.get(v);
            value = v;
            break;
        }
        case TInt16: {
            int16_t v = 0;
            ok = r.get(v);
            value = v;
            break;
        }
        case TInt32: {
            int32_t v = 0;
            ok = r.get(v);
            value = v;
            break;
        }
        default: return fail("unknown value type");
        }
        if (!ok)
            return fail("damaged value");
        bag.m_values.append({name, value});
    }
    if (!r.atEnd())
        return fail("bytes left inside the record");
    return bag;
}
