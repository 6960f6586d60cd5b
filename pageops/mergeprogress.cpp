#include "pageops/mergeprogress.h"

#include <algorithm>
#include <cmath>

MergeProgress::MergeProgress(QList<qint64> sizes, std::function<void(int value)> show)
    : m_files(int(sizes.size())), m_show(std::move(show)) {
    double bytes = 0;
    for (qint64 size : sizes)
        bytes += double(std::max<qint64>(size, 0));
    m_writeSeconds = bytes / kCopyBytesPerSecond;
}

void MergeProgress::FileRead(double seconds) {
    if (m_read >= m_files) return;
    ++m_read;
    m_readSeconds += std::max(seconds, 0.0);
    const double readsExpected = m_readSeconds / m_read * m_files;
    const double whole = readsExpected + m_writeSeconds;
    const double fraction = whole > 0 ? m_readSeconds / whole : double(m_read) / std::max(m_files, 1);
    if (m_read == m_files) m_readShare = fraction;
    showFraction(fraction);
}

void MergeProgress::Written(int percent) {
    const double written = std::clamp(percent, 0, 100) / 100.0;
    showFraction(m_readShare + (1 - m_readShare) * written);
}

void MergeProgress::Finished() {
    if (m_value == m_files) return;
    m_value = m_files;
    if (m_show) m_show(m_value);
}

void MergeProgress::showFraction(double fraction) {
    // The last step belongs to the finished file on disk.
    const int value = std::min(int(std::floor(fraction * m_files)), m_files - 1);
    if (value <= m_value) return;
    m_value = value;
    if (m_show) m_show(m_value);
}
