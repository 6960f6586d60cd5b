#pragma once

// The clone job's list ("clone.xml"): the compression names of the job and one entry per
// image, in the order the scan found them, each with the status its conversion left.
//
//   <?xml version = "1.0"?><Clone><Settings EncodColor=".." EncodGraycale=".." EncodBW=".."/>
//   <Files><File name=".." path=".." targetfile=".." targetfolder=".." status=".."/>...</Files></Clone>
//
// Written whole, with no text between elements.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace clonejob {

// The status texts of an entry.
inline const QString kStatusCompleted = QStringLiteral("Completed");
inline const QString kStatusError = QStringLiteral("Error");
inline const QString kStatusAlreadyExists = QStringLiteral("Already Exists");
inline const QString kStatusNoFolder = QStringLiteral("Unable to Create Folder");

struct CloneFileEntry {
    QString name;         // the image's file name
    QString path;         // the folder holding the image
    QString targetfile;   // the PDF's file name
    QString targetfolder; // the folder receiving the PDF
    QString status;       // "" while waiting

    QString source() const;
    QString target() const;
    // A status that is blank after trimming leaves the entry waiting.
    bool waiting() const { return status.trimmed().isEmpty(); }
};

struct CloneList {
    QString EncodColor, EncodGraycale, EncodBW; // "" = none for that class
    std::vector<CloneFileEntry> files;
};

// Appends a waiting entry for an image to the list.
void AddCloneFileEntry(CloneList& list, const QString& name, const QString& path, const QString& targetfile,
                       const QString& targetfolder);

// The list in a document's bytes; nullopt when the document is not well-formed, has no
// "Clone/Files", or holds anything we cannot read as the list (a child of "Files" that is
// not a complete "File" element, "Settings" without one of its attributes).
std::optional<CloneList> parseCloneList(QByteArrayView xml);
// The same from a file; nullopt also when it cannot be read.
std::optional<CloneList> loadCloneList(const QString& path);

// The whole document.
QByteArray cloneListXml(const CloneList& list);

// False for text an XML 1.0 document cannot hold (control characters other than tab,
// CR and LF; unpaired surrogates; U+FFFE and U+FFFF).
bool isXmlText(QStringView text);

} // namespace clonejob
