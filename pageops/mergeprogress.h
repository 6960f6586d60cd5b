#pragma once

// How far a merge has got, as a value from 0 to the number of files.
//
// A merge reads every file into the document and then writes the document, and which of
// the two takes the time depends on the files: pages that pass through unchanged (JPEG, G4,
// PDF) cost next to nothing to read and all their bytes to write, while pages that must be
// encoded anew spend their time in the reading. So each phase's share is estimated from what
// the run has seen: the time the reads have taken so far (projected over the files still to
// read), against the bytes the write will copy at a nominal copy rate. Once the reads are
// done, the write moves the rest of the way by its own percentage.
//
// The value never goes back, and shows every file only once Finished() says the merged PDF
// is in place.

#include <QList>
#include <functional>

class MergeProgress {
public:
    // `sizes`: the bytes of each file, in merge order. `show` is called with every new value.
    MergeProgress(QList<qint64> sizes, std::function<void(int value)> show);

    // The read of one more file took `seconds`.
    void FileRead(double seconds);
    // The write has got this far (0 to 100).
    void Written(int percent);
    // The merged PDF is in place.
    void Finished();

    int Value() const { return m_value; }

    // What the estimate assumes the write copies per second (a disk cache's pace).
    static constexpr double kCopyBytesPerSecond = 400e6;

private:
    void showFraction(double fraction);

    int m_files;
    double m_writeSeconds = 0; // the estimate of the whole write
    int m_read = 0;
    double m_readSeconds = 0;
    double m_readShare = 0; // of the whole, once every file is read
    std::function<void(int)> m_show;
    int m_value = 0;
};
