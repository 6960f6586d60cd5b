#include "core/modgetspecialfolder.h"

#include "platform/shell/specialfolders.h"

namespace modGetSpecialFolder {

namespace {
SpecialFolderSource& source() {
    static SpecialFolderSource s;
    return s;
}
} // namespace

QString GetSpecialfolder(int folderId) {
    if (source())
        return source()(folderId);
    switch (folderId) {
    case CSIDL_APPDATA: return platform::appDataFolder();
    case CSIDL_DESKTOP: return platform::desktopFolder();
    default: return QString();
    }
}

SpecialFolderSource setSpecialFolderSource(SpecialFolderSource s) {
    SpecialFolderSource previous = std::move(source());
    source() = std::move(s);
    return previous;
}

} // namespace modGetSpecialFolder
