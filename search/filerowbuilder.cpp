#include "search/filerowbuilder.h"

#include "core/modgeneral.h"
#include "core/vbruntime.h"
#include "platform/shell/filetypes.h"

#include <QStringList>

namespace filesearch {

FileRowBuilder::FileRowBuilder(platform::FileTypes& types) : m_types(types) {}

void FileRowBuilder::setPageCounting(bool pagesShown, PageCounter* tiffCounter, PageCounter* pdfCounter) {
    m_pagesShown = pagesShown;
    m_tiff = tiffCounter;
    m_pdf = pdfCounter;
}

FileRow FileRowBuilder::build(const QString& folder, const FindData& file) {
    FileRow row;
    row.name = file.name;
    row.location = folder; // shared with every row of the folder, not copied
    const QString path = modGeneral::ValidateDir(folder) + file.name;
    const platform::FileTypeInfo type = m_types.lookup(path, file.name, file.isExecutable());
    row.type = type.typeName;
    row.iconKey = type.iconKey;
    row.size = vb::FormatKB(KilobytesOf(file.size));
    row.created = vb::FormatGridDate(file.created.toLocal());
    row.modified = vb::FormatGridDate(file.modified.toLocal());
    if (m_pagesShown) row.pages = PagesText(GetExtension(path), path, m_tiff, m_pdf);
    return row;
}

bool FileRowBuilder::isColumnShown(const QString& columnVisibility, int position) {
    const QStringList flags = columnVisibility.split(QLatin1Char(','));
    return position >= 0 && position < flags.size() && flags[position] == QLatin1String("1");
}

} // namespace filesearch
