#include "search/filesearch.h"

#include "core/errortrap.h"
#include "core/modgeneral.h"
#include "core/modgetspecialfolder.h"
#include "platform/fileio/filenames.h"

#include <QFile>

namespace filesearch {

QString SearchFolderFor(const QString& treeFolder) {
    if (treeFolder == QLatin1String("Desktop"))
        return modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_DESKTOP);
    return treeFolder;
}

FolderSearch::FolderSearch(const SearchOptions& options, FileRowSink& sink)
    : m_options(options), m_matcher(options.patterns), m_sink(sink) {}

void FolderSearch::LoadFiles(const QString& folder) {
    walk(folder, QFile::encodeName(folder), true);
}

void FolderSearch::walk(const QString& folder, const QByteArray& nativeFolder, bool followLink) {
    if (cancelled()) return;
    // Also once per folder: a tree of folders without files must answer Cancel as quickly.
    if (m_pump) m_pump();
    if (cancelled()) return;
    std::unique_ptr<FolderListing> listing;
    if (!trap(u"LoadFiles", kSearchOwner,
              [&] { listing = m_reader->open(folder, nativeFolder, followLink); }))
        return;

    const bool testCriteria = m_options.criteria.active();
    std::vector<QByteArray> subfolders;
    FindData file;
    for (const FolderEntry& entry : listing->entries()) {
        const FolderEntry::Kind kind = listing->kindOf(entry);
        if (kind == FolderEntry::Folder) {
            if (m_options.subfolders) subfolders.push_back(entry.name);
            continue;
        }
        if (kind != FolderEntry::File && kind != FolderEntry::Link) continue; // devices, pipes, sockets
        if (cancelled()) return;
        const QString name = fileio::nameFromBytes(entry.name);
        // One status read serves both the criteria and the find-data step; it also drops a
        // file that vanished since the listing, and a link that leads to a folder.
        if (m_matcher.matches(name) && listing->findData(entry, file)) {
            file.name = name;
            if (!testCriteria || FileMatchesAdvancedOptions(m_options.criteria, file)) {
                // A file whose row cannot be built is logged and skipped; the folder goes on.
                trap(u"LoadFiles", kSearchOwner, [&] {
                    m_sink.AddFileRow(folder, file);
                    ++m_rows;
                });
            }
        }
        if (m_pump) m_pump();
    }
    // Let the descriptor go before going down, so a deep tree never runs out of them.
    listing.reset();

    if (subfolders.empty()) return;
    const QString prefix = modGeneral::ValidateDir(folder);
    QByteArray nativePrefix = nativeFolder;
    if (!nativePrefix.endsWith('/')) nativePrefix.append('/');
    for (const QByteArray& sub : subfolders)
        walk(prefix + fileio::nameFromBytes(sub), nativePrefix + sub, false);
}

} // namespace filesearch
