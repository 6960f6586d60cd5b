#include "core/storagefolder.h"

#include "core/filefolderscan.h"
#include "core/globals.h"
#include "core/modgetspecialfolder.h"
#include "core/propertybag.h"
#include "core/uiservices.h"

#include <QFile>
#include "platform/fileio/atomicwriter.h"

namespace modMasterLayout {

namespace {
OsVersionProbe& versionProbe() {
    static OsVersionProbe probe;
    return probe;
}
} // namespace

bool GetStorageFolder() {
    const QString appData = modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_APPDATA);
    // An empty answer would put the data folder at the file-system root: treat it as
    // the failure to build the path.
    if (appData.isEmpty()) {
        Ui().MsgBox(QStringLiteral("Unable to get file storage folder path"), MsgButtons::OK, MsgIcon::Critical,
                    kAppTitle);
        return false;
    }
    StoragePath = appData + QLatin1Char('/') + kCompanyName + QLatin1Char('/') + kAppTitle;
    return FileFolderScan::CreatePath(StoragePath);
}

bool CanWriteFile(const QString& path) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("ID"), QStringLiteral("test"));
    const QByteArray bytes = bag.Contents();
    if (!fileio::writeFileAtomically(path, bytes))
        return false;
    return QFile::remove(path);
}

bool IsWindowsVistaFamily() {
    const platform::OsVersionInfo v = versionProbe() ? versionProbe()() : platform::queryOsVersion();
    return v.ok && v.majorVersion == 6 && v.platformId == 2;
}

OsVersionProbe setOsVersionProbe(OsVersionProbe probe) {
    OsVersionProbe previous = std::move(versionProbe());
    versionProbe() = std::move(probe);
    return previous;
}

} // namespace modMasterLayout
