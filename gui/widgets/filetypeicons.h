#pragma once

// The small icons of the result rows, one per key platform::FileTypes answered: taken from
// the desktop's icon theme and kept per key, so each is looked up once.

#include "platform/shell/filetypes.h"

#include <QHash>
#include <QIcon>
#include <QString>

namespace platform {

class FileTypeIcons {
public:
    // `types` answers where a key's icon comes from; it must outlive this cache.
    explicit FileTypeIcons(const FileTypes& types) : m_types(types) {}

    // The icon stored under a key that lookup answered: the first one found for it stays.
    // Falls back to the theme's generic icon of the type, then to fallbackIcon().
    QIcon icon(const QString& key);

    void setFallbackIcon(const QIcon& icon) { m_fallback = icon; }
    const QIcon& fallbackIcon() const { return m_fallback; }

private:
    const FileTypes& m_types;
    QHash<QString, QIcon> m_icons;
    QIcon m_fallback;
};

} // namespace platform
