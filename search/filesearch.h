#pragma once

// The folder walk of the search: the files of a folder whose names match the filter and
// that pass the date and size criteria, handed one by one to a row sink; then, when asked,
// each subfolder in turn, depth first. The window drives it with its cancel flag and
// DoEvents; the benchmark drives the very same walk without a window.

#include "search/filesearchfinddata.h"
#include "search/filesearchfolder.h"
#include "search/filesearchpatterns.h"
#include "search/searchcriteria.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace filesearch {

// The owner text of the search's error-log lines.
inline constexpr QStringView kSearchOwner = u" of Form frmMain at time";

// Receives each listed file.
class FileRowSink {
public:
    virtual ~FileRowSink() = default;
    // `folder` is the folder as the walk was given it. May throw: the walk logs the failure
    // under "LoadFiles" and goes on with the next file.
    virtual void AddFileRow(const QString& folder, const FindData& file) = 0;
};

struct SearchOptions {
    bool subfolders = false; // chkSearchSubFolder
    QStringList patterns;    // PatternsForFilter(...)
    SearchCriteria criteria; // the advanced options
};

// The folder a tree selection stands for: "Desktop" is the desktop folder.
QString SearchFolderFor(const QString& treeFolder);

class FolderSearch {
public:
    FolderSearch(const SearchOptions& options, FileRowSink& sink);

    // Asked before each file and each folder; once it answers true the walk ends.
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Called on entering every folder and after every file, listed or not (the window
    // passes DoEvents).
    void setPump(std::function<void()> pump) { m_pump = std::move(pump); }
    // Where folders are opened and listed (not owned); the file system by default.
    void setFolderReader(FolderReader* reader) { m_reader = reader ? reader : &m_defaultReader; }

    // Walks `folder`; a link given as the start folder is followed, links below it are not.
    // A folder that cannot be opened or listed is logged under "LoadFiles" and skipped with
    // everything below it; its parent goes on.
    void LoadFiles(const QString& folder);

    // Files handed to the sink (and accepted by it) so far.
    int rowsListed() const { return m_rows; }

private:
    void walk(const QString& folder, const QByteArray& nativeFolder, bool followLink);
    bool cancelled() const { return m_cancelled && m_cancelled(); }

    SearchOptions m_options;
    FilterPatternMatcher m_matcher;
    FileRowSink& m_sink;
    std::function<bool()> m_cancelled;
    std::function<void()> m_pump;
    FolderReader m_defaultReader;
    FolderReader* m_reader = &m_defaultReader;
    int m_rows = 0;
};

} // namespace filesearch
