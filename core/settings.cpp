#include "core/settings.h"

#include "core/errorlog.h"
#include "core/errortrap.h"
#include "core/globals.h"
#include "core/propertybag.h"
#include "core/runtimeerror.h"
#include "core/uiservices.h"
#include "platform/shell/specialfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr QStringView kOwner = u" of Class Module Settings at time";
// Far above any record we write; a larger file is not ours.
constexpr qint64 kMaxRecordSize = 1 << 20;

template <class T> bool holds(const std::optional<PropertyBag::Value>& v) {
    return !v || std::holds_alternative<T>(*v);
}

int runtimeErrorOf(QFileDevice::FileError e) {
    switch (e) {
    case QFileDevice::ResourceError: return 61;
    case QFileDevice::PermissionsError: return 70;
    default: return 75;
    }
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
    QSaveFile f(path);
    bool ok = f.open(QIODevice::WriteOnly);
    if (ok)
        ok = f.write(record) == record.size();
    // An unfinished file is discarded when `f` goes; cancelling it here would replace
    // the write's own error (a full disk) by a generic one.
    if (ok)
        ok = f.commit();
    if (!ok) {
        errorNumber = runtimeErrorOf(f.error());
        description = errorDescription(errorNumber);
    }
    return ok;
}

bool Settings::writeOnce(int& errorNumber, QString& description) {
    if (StoragePath.isEmpty()) {
        errorNumber = 76;
        description = errorDescription(76);
        return false;
    }
    const QString folder = settingsFolder();
    if (!QDir().mkpath(folder)) {
        errorNumber = 76;
        description = errorDescription(76);
        return false;
    }
    return writeRecord(settingsFile(), contents(), errorNumber, description);
}

void Settings::SaveSettings() {
    int number = 0;
    QString description;
    if (m_inFallback) {
        // The defaults' own save inside the fallback: report to the outer save only.
        if (!writeOnce(number, description)) {
            m_fallbackError = number;
            m_fallbackDescription = description;
        }
        return;
    }
    // Before anything is written: no folder to write into.
    if (StoragePath.isEmpty() || !QDir().mkpath(settingsFolder())) {
        Ui().MsgBox(errorDescription(76), MsgButtons::OK, MsgIcon::Information, kAppTitle);
        return;
    }
    if (writeRecord(settingsFile(), contents(), number, description))
        return;

    // The file could not be written: start again from the defaults, once.
    const QByteArray before = contents();
    QFile::remove(settingsFile());
    m_inFallback = true;
    m_fallbackError = 0;
    LoadDefaultSettings();
    m_inFallback = false;
    if (m_fallbackError == 0)
        return;

    // Writing keeps failing: keep what the user had, say so once.
    takeValues(before);
    LogError(modGeneral::ComposeErrorMessage(m_fallbackError, m_fallbackDescription, QStringLiteral("SaveSettings"),
                                             0, kOwner.toString()));
    // AppSettings lives for the whole session: tell the reason once, not once per setter.
    if (!m_failureShown) {
        m_failureShown = true;
        Ui().MsgBox(m_fallbackDescription, MsgButtons::OK, MsgIcon::Information, kAppTitle);
    }
}

void Settings::LoadDefaultSettings() {
    setDefaults();
    SaveSettings();
}
