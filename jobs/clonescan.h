#pragma once

// The scan of a clone job: every image below the source folder, with the PDF it becomes,
// listed in memory. A folder's files come before its subfolders, in name order, depth
// first. Linked folders are not entered (no loops); a folder that cannot be read, and an
// image whose name is not UTF-8 or holds characters a list cannot carry, are skipped with
// one error-log line each.

#include "jobs/clonejobfiles.h"
#include "jobs/clonelist.h"
#include "search/filesearchfolder.h"
#include "search/filesearchpatterns.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace clonejob {

// A typed folder as the job uses it: blanks around it and trailing "/" removed ("/" stays).
QString CleanFolderText(const QString& typed);
// The last part of a folder path without the part from its last dot: "/srv/Holiday.July"
// gives "Holiday".
QString FolderBaseName(const QString& folder);
// The PDF's name: the text after the image name's last dot replaced by "pdf".
QString TargetFileName(const QString& imageName);
// True when both texts name the same folder (the same text, or the same folder on disk).
bool SameFolder(const QString& a, const QString& b);

// Where a job's PDFs go; fixed when the job starts, so edits of the boxes during a run
// change nothing.
struct CloneTargets {
    QString source;           // cleaned source folder
    QString output;           // cleaned output folder
    bool besideImage = false; // the output is the source: each PDF beside its image

    static CloneTargets fromFolders(const QString& source, const QString& output);
    // The folder for the PDF of an image `relative` below the source ("" directly in it,
    // else "July" or "July/Week1"): output / source base name / relative.
    QString targetFolder(const QString& imageFolder, const QString& relative) const;
};

class CloneScan {
public:
    CloneScan(CloneTargets targets, const QStringList& patterns);

    // Asked before each file and folder; once it answers true the scan ends.
    void setStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }
    // Called after every file, listed or not.
    void setPump(std::function<void()> pump) { m_pump = std::move(pump); }
    // Called for each folder and file left out of the job (besides its error-log line), with
    // its path as the log shows it and why.
    void setLeftOut(std::function<void(const QString& path, const QString& reason)> leftOut) {
        m_leftOut = std::move(leftOut);
    }
    // Where folders are read (not owned); the file system by default.
    void setFolderReader(filesearch::FolderReader* reader) { m_reader = reader ? reader : &m_defaultReader; }

    // Appends an entry per image to `out`'s files; answers how many were added.
    int ScanFolderForClone(CloneList& out);

private:
    void walk(const QString& folder, const QByteArray& nativeFolder, const QString& relative, bool followLink,
              CloneList& out);
    bool stopped() const { return m_stop && m_stop(); }
    // The name decoded, or a null string when it cannot be carried unchanged into the job's
    // files (not UTF-8, or characters XML cannot hold); that case is logged.
    QString carriedName(const QString& folder, const QByteArray& native);

    CloneTargets m_targets;
    filesearch::FilterPatternMatcher m_matcher;
    std::function<bool()> m_stop;
    std::function<void()> m_pump;
    std::function<void(const QString&, const QString&)> m_leftOut;
    filesearch::FolderReader m_defaultReader;
    filesearch::FolderReader* m_reader = &m_defaultReader;
    int m_count = 0;
};

} // namespace clonejob
