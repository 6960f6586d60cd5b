#pragma once

// The compression lists of the tool dialogs, filled from the compression table by name: each
// entry keeps its table entry beside its text, so a run takes the choice without reading the
// text back.

#include "platform/imaging/encoders/compression.h"

class QAbstractButton;
class QComboBox;

namespace compressionlists {

// The class's names in the table's order, starting on the table's preselection.
void Fill(QComboBox& list, int colourClass);

// What a class's box and list stand for: the selected entry while the box is not unchecked
// (a disabled list counts), else Default, which sets none.
imaging::Compression Chosen(const QAbstractButton& box, const QComboBox& list);

} // namespace compressionlists
