// GIO's headers come first: Qt's keyword macros clash with names inside them.
#include <gio/gio.h>

#include "gui/ui/defaultapp.h"

namespace platform {

bool hasDefaultApplication(const QByteArray& nativePath) {
    GFile* file = g_file_new_for_path(nativePath.constData());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE,
                                        nullptr, nullptr);
    bool found = false;
    if (info) {
        if (const char* type = g_file_info_get_content_type(info)) {
            if (GAppInfo* app = g_app_info_get_default_for_type(type, FALSE)) {
                found = true;
                g_object_unref(app);
            }
        }
        g_object_unref(info);
    }
    g_object_unref(file);
    return found;
}

bool hasDefaultApplicationForScheme(const QByteArray& scheme) {
    GAppInfo* app = g_app_info_get_default_for_uri_scheme(scheme.constData());
    if (!app) return false;
    g_object_unref(app);
    return true;
}

} // namespace platform
