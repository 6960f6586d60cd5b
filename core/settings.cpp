#include "core/settings.h"

#include "core/errorlog.h"
#include "core/errortrap.h"
#include "core/globals.h"
#include "core/propertybag.h"
#include "core/runtimeerror.h"
#include "core/uiservices.h"
#include "platform/fileio/atomicwriter.h"
#include "platform/shell/specialfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr QStringView kOwner = u" of Class Module Settings at time";
// Far above any record we write; a larger file is not ours.
constexpr qint64 kMaxRecordSize = 1 << 20;

template <class T> bool holds(const std::optional<PropertyBag::Value>& v) {
    return !v || std::holds_alternative<T>(*v);
}

} // namespace

QString Settings::defaultStartupFolder() { return platform::homeFolder(); }

QString Settings::settingsFolder() { return StoragePath + QStringLiteral("/Settings"); }

QString Settings::settingsFile() { return settingsFolder() + QStringLiteral("/settings.ini"); }

QByteArray Settings::contents() const {
    PropertyBag bag;
#define QM_WRITE(kind, Type, Name, def) bag.WriteProperty(QStringLiteral(#Name), PropertyBag::Value(m_##Name));
    QM_SETTINGS(QM_WRITE)
#undef QM_WRITE
    return bag.Contents();
}

void Settings::takeValues(const QByteArray& record) {
    const auto bag = PropertyBag::fromContents(record);
    if (!bag)
        raiseError(321);
    // Check every type before taking anything, so a bad file changes no value.
#define QM_CHECK(kind, Type, Name, def)                                                                       \
    if (!holds<Type>(bag->ReadProperty(QStringLiteral(#Name))))                                              \
        raiseError(13);
    QM_SETTINGS(QM_CHECK)
#undef QM_CHECK
#define QM_TAKE(kind, Type, Name, def)                                                                        \
    {                                                                                                        \
        const auto v = bag->ReadProperty(QStringLiteral(#Name));                                             \
        m_##Name = v ? std::get<Type>(*v) : Type(def);                                                       \
    }
    QM_SETTINGS(QM_TAKE)
#undef QM_TAKE
}

void Settings::setDefaults() {
#define QM_DEFAULT(kind, Type, Name, def) m_##Name = Type(def);
    QM_SETTINGS(QM_DEFAULT)
#undef QM_DEFAULT
}

bool Settings::LoadSettings() {
    // Without a data folder there is nothing to read, and nothing may be deleted.
    if (StoragePath.isEmpty())
        return false;
    const QString file = settingsFile();
    bool loaded = false;
    trap(
        u"LoadSettings", kOwner,
        [&] {
            QDir().mkpath(settingsFolder());
            if (!QFileInfo::exists(file))
                return;
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                raiseError(75);
            if (f.size() > kMaxRecordSize)
                raiseError(321);
            const QByteArray record = f.readAll();
            f.close();
            takeValues(record);
            loaded = true;
        },
        [&] { QFile::remove(file); });
    return loaded;
}

bool Settings::writeRecord(const QString& path, const QByteArray& record, int& errorNumber, QString& description) {
    // Synced: losing every setting to a power cut costs the user more than the wait.
    QString detail;
    if (fileio::writeFileAtomically(path, record, true, &errorNumber, &detail))
        return true;
    description = errorDescription(errorNumber);
    return false;
}

void Settings::SaveSettings() {
    // Before anything is written: no folder to write into.
    if (StoragePath.isEmpty() || !QDir().mkpath(settingsFolder())) {
        Ui().MsgBox(errorDescription(76), MsgButtons::OK, MsgIcon::Information, kAppTitle);
        return;
    }
    int number = 0;
    QString description;
    if (writeRecord(settingsFile(), contents(), number, description))
        return;

    // The write is atomic, so the previous file is intact and the values stay in memory:
    // the next save that succeeds writes them all. Resetting to the defaults here would
    // throw every setting away over a momentarily full disk.
    LogError(modGeneral::ComposeErrorMessage(number, description, QStringLiteral("SaveSettings"), 0,
                                             kOwner.toString()));
    // AppSettings lives for the whole session: tell the reason once, not once per setter.
    if (!m_failureShown) {
        m_failureShown = true;
        Ui().MsgBox(description, MsgButtons::OK, MsgIcon::Information, kAppTitle);
    }
}

void Settings::LoadDefaultSettings() {
    setDefaults();
    SaveSettings();
}
