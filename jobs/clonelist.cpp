#include "jobs/clonelist.h"

#include "core/modgeneral.h"
#include "platform/fileio/filenames.h"

#include <QFile>
#include <cstring>
#include <pugixml.hpp>

namespace clonejob {

namespace {

// The list of a very large job is tens of megabytes; a file past this is not ours.
constexpr qint64 kMaxListBytes = qint64(1) << 30;

class ByteArrayWriter : public pugi::xml_writer {
public:
    explicit ByteArrayWriter(QByteArray& out) : m_out(out) {}
    void write(const void* data, size_t size) override {
        m_out.append(static_cast<const char*>(data), qsizetype(size));
    }

private:
    QByteArray& m_out;
};

QString text(const pugi::xml_attribute& a) { return fileio::nameFromBytes(a.value()); }

// A required attribute; false when it is missing.
bool take(const pugi::xml_node& node, const char* name, QString& out) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) return false;
    out = text(a);
    return true;
}

void put(pugi::xml_node& node, const char* name, const QString& value) {
    node.append_attribute(name).set_value(value.toUtf8().constData());
}

} // namespace

QString CloneFileEntry::source() const { return modGeneral::ValidateDir(path) + name; }

QString CloneFileEntry::target() const { return modGeneral::ValidateDir(targetfolder) + targetfile; }

void AddCloneFileEntry(CloneList& list, const QString& name, const QString& path, const QString& targetfile,
                       const QString& targetfolder) {
    list.files.push_back({name, path, targetfile, targetfolder, QString()});
}

std::optional<CloneList> parseCloneList(QByteArrayView xml) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), size_t(xml.size()), pugi::parse_default, pugi::encoding_utf8)) return std::nullopt;
    const pugi::xml_node clone = doc.child("Clone");
    const pugi::xml_node files = clone.child("Files");
    if (!files) return std::nullopt;
    CloneList list;
    if (const pugi::xml_node settings = clone.child("Settings")) {
        if (!take(settings, "EncodColor", list.EncodColor) || !take(settings, "EncodGraycale", list.EncodGraycale) ||
            !take(settings, "EncodBW", list.EncodBW))
            return std::nullopt;
    }
    for (const pugi::xml_node& file : files.children()) {
        if (file.type() != pugi::node_element || std::strcmp(file.name(), "File") != 0) return std::nullopt;
        CloneFileEntry e;
        if (!take(file, "name", e.name) || !take(file, "path", e.path) || !take(file, "targetfile", e.targetfile) ||
            !take(file, "targetfolder", e.targetfolder) || !take(file, "status", e.status))
            return std::nullopt;
        list.files.push_back(std::move(e));
    }
    return list;
}

std::optional<CloneList> loadCloneList(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxListBytes) return std::nullopt;
    // What the file holds, not the cap: QIODevice::read() sets aside all it is asked for.
    const QByteArray bytes = f.read(f.size());
    if (f.error() != QFileDevice::NoError) return std::nullopt;
    return parseCloneList(bytes);
}

QByteArray cloneListXml(const CloneList& list) {
    pugi::xml_document doc;
    pugi::xml_node pi = doc.append_child(pugi::node_pi);
    pi.set_name("xml");
    pi.set_value("version = \"1.0\"");
    pugi::xml_node clone = doc.append_child("Clone");
    pugi::xml_node settings = clone.append_child("Settings");
    put(settings, "EncodColor", list.EncodColor);
    put(settings, "EncodGraycale", list.EncodGraycale);
    put(settings, "EncodBW", list.EncodBW);
    pugi::xml_node files = clone.append_child("Files");
    for (const CloneFileEntry& e : list.files) {
        pugi::xml_node file = files.append_child("File");
        put(file, "name", e.name);
        put(file, "path", e.path);
        put(file, "targetfile", e.targetfile);
        put(file, "targetfolder", e.targetfolder);
        put(file, "status", e.status);
    }
    QByteArray out;
    out.reserve(qsizetype(256 + list.files.size() * 200));
    ByteArrayWriter writer(out);
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out;
}

bool isXmlText(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()) return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

} // namespace clonejob
