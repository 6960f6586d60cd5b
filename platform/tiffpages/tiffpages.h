#pragma once

// TIFF page operations over libtiff. Pages are copied as stored (see tiffpagecopy.h);
// pages are numbered from 1; every output is written through the atomic writer, and an
// output may be one of the inputs. A call that writes several files leaves all or none.

#include "platform/fileio/outputset.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tiffpages {

// The number of pages, or -1 (with the cause) when the file is not a readable TIFF.
int tiffPageCount(const QString& path, fileio::Failure& failure);

// Called after each input of a merge with the number of inputs done.
using MergeProgress = std::function<void(int done)>;

// Every page of every input, in order, into `output`.
bool mergeTiffs(const QStringList& inputs, const QString& output, fileio::Failure& failure,
                const MergeProgress& progress = {});

// The pages of `insertFrom` placed after the first `at` pages (0..n) of `target`.
bool insertTiffPages(const QString& target, int at, const QString& insertFrom, fileio::Failure& failure);

// Removes page `page` of a file that has more than one.
bool deleteTiffPage(const QString& path, int page, fileio::Failure& failure);

// `first` gets pages 1..page, `second` pages page+1..n.
bool splitTiff(const QString& source, int page, const QString& first, const QString& second,
               fileio::Failure& failure);

// Pages first..last, each into `folder`/<base>_<k>.tif, where base is the source's name
// without its extension and k the page number, zero-padded to the digits of the page count.
bool extractTiffPages(const QString& source, int first, int last, const QString& folder, fileio::Failure& failure,
                      QStringList* written = nullptr);
bool extractAllTiffPages(const QString& source, const QString& folder, fileio::Failure& failure,
                         QStringList* written = nullptr);

// Copies a file byte for byte through the atomic writer.
bool copyFileAtomically(const QString& source, const QString& target, fileio::Failure& failure);

} // namespace tiffpages
