#include "tools/compressionlists.h"

#include <QAbstractButton>
#include <QComboBox>

namespace compressionlists {

void Fill(QComboBox& list, int colourClass) {
    for (const imaging::CompressionEntry& entry : imaging::compressionTable()) {
        if (!(entry.offeredFor & imaging::classBit(colourClass))) continue;
        list.addItem(QLatin1String(entry.name), int(entry.id));
        if (entry.preselectedIn & imaging::classBit(colourClass)) list.setCurrentIndex(list.count() - 1);
    }
}

imaging::Compression Chosen(const QAbstractButton& box, const QComboBox& list) {
    if (!box.isChecked() || list.currentIndex() < 0) return imaging::Compression::Default;
    return imaging::Compression(list.currentData().toInt());
}

} // namespace compressionlists
