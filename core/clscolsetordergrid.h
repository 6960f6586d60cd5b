#pragma once

#include <QList>
#include <QString>
#include <cstdint>

// The file record: one grid row handed from the main window to a tool and on to the
// engine. The texts are the grid's display texts; it stores whatever it is given.
class clsColSetOrderGrid {
public:
    const QString& filename() const { return m_filename; }
    void setFilename(const QString& strNewValue) { m_filename = strNewValue; }
    // A page range; "" or "0" means all pages.
    const QString& Range() const { return m_Range; }
    void setRange(const QString& strNewValue) { m_Range = strNewValue; }
    const QString& FileLocation() const { return m_FileLocation; }
    void setFileLocation(const QString& strNewValue) { m_FileLocation = strNewValue; }
    const QString& FileSize() const { return m_FileSize; }
    void setFileSize(const QString& strNewValue) { m_FileSize = strNewValue; }
    const QString& FileType() const { return m_FileType; }
    void setFileType(const QString& strNewValue) { m_FileType = strNewValue; }
    const QString& FileCreDate() const { return m_FileCreDate; }
    void setFileCreDate(const QString& strNewValue) { m_FileCreDate = strNewValue; }
    const QString& FileModDate() const { return m_FileModDate; }
    void setFileModDate(const QString& strNewValue) { m_FileModDate = strNewValue; }
    const QString& FileExt() const { return m_FileExt; }
    void setFileExt(const QString& strNewValue) { m_FileExt = strNewValue; }
    int32_t PageCount() const { return m_PageCount; }
    void setPageCount(int32_t strNewValue) { m_PageCount = strNewValue; }

    // ValidateDir(FileLocation) followed by filename.
    QString FullPath() const;

private:
    QString m_filename, m_Range, m_FileLocation, m_FileSize, m_FileType, m_FileCreDate, m_FileModDate, m_FileExt;
    int32_t m_PageCount = 0;
};

// An ordered, unkeyed collection of file records; its order is the order of processing.
using clsColSetOrderGridList = QList<clsColSetOrderGrid>;
