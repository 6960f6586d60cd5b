#pragma once

// A typed key-value container and its serialised form, the record the settings file and
// the start-up write probe hold:
//
//   "QMPB"  magic                      4 bytes
//   version (1)                        uint16 LE
//   number of values                   uint16 LE
//   payload length                     uint32 LE
//   CRC-32 of the payload              uint32 LE
//   payload: per value  type (uint8: 1 text, 2 byte, 3 int16, 4 int32)
//                       name length (uint16 LE), name (UTF-8)
//                       value: byte | int16 LE | int32 LE | text length (uint32 LE) + UTF-8
//
// Anything after the record is ignored; anything wrong inside it rejects the whole record.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <variant>

class PropertyBag {
public:
    using Value = std::variant<QString, uint8_t, int16_t, int32_t>;

    // Stores a value under a name, replacing one of the same name (names ignore case).
    void WriteProperty(const QString& name, const Value& value);
    // The value stored under `name`, or nothing.
    std::optional<Value> ReadProperty(const QString& name) const;
    int count() const { return static_cast<int>(m_values.size()); }

    // The serialised record.
    QByteArray Contents() const;
    // Parses a record; nothing when it is damaged, with the reason in `why`.
    static std::optional<PropertyBag> fromContents(const QByteArray& bytes, QString* why = nullptr);

    static uint32_t crc32(const char* data, qsizetype size);

private:
    int find(const QString& name) const;
    QList<std::pair<QString, Value>> m_values;
};
