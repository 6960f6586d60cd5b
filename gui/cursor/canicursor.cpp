#include "gui/cursor/canicursor.h"

#include "gui/cursor/anicursorerror.h"
#include "gui/cursor/mtempfile.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// Outside any namespace, as the resource system requires; keeps the linker from
// dropping the embedded cursor out of this static library.
static void initCursorResource() {
    Q_INIT_RESOURCE(cursor);
}

namespace {

constexpr qint64 kMaxFileSize = 16 << 20; // far beyond any real cursor

// Reads a whole file, keeping errno for the caller's error.
QByteArray readFile(const QString& name, int& error) {
    error = 0;
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return {};
    }
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) break;
        if (data.size() + n > kMaxFileSize) {
            error = EFBIG;
            break;
        }
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

// Writes into the file GetTempFileName made for us, never following a link put there.
bool writeTempFile(const QString& name, const QByteArray& data) {
    const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return ::close(fd) == 0 && done == data.size();
}

// The shades a 3-D colour mapping replaces, and the palette roles they become.
QHash<QRgb, QRgb> systemColourMap() {
    if (!QGuiApplication::instance()) return {};
    const QPalette p = QGuiApplication::palette();
    return {{qRgb(128, 128, 128), p.color(QPalette::Dark).rgb()},
            {qRgb(192, 192, 192), p.color(QPalette::Button).rgb()},
            {qRgb(223, 223, 223), p.color(QPalette::Midlight).rgb()}};
}

} // namespace

cAniCursor::~cAniCursor() {
    Destroy();
}

void cAniCursor::SetAsDefaultCursor(QWidget* lhWnd, bool bState) {
    if (!lhWnd) return;
    if (bState) {
        const auto cursor = hCursor();
        if (!cursor) return;
        Slot* chosen = nullptr;
        Slot* lastFree = nullptr;
        for (Slot& s : m_slots) {
            if (s.window == lhWnd) {
                chosen = &s;
                break;
            }
            if (!s.window) lastFree = &s;
        }
        if (!chosen) {
            if (!lastFree) {
                m_slots.emplace_back();
                lastFree = &m_slots.back();
            }
            chosen = lastFree;
            *chosen = Slot{}; // a slot freed by a widget's death still holds its old cursor
        }
        if (!chosen->held) {
            chosen->window = lhWnd;
            chosen->held = true;
            chosen->hadOwnCursor = lhWnd->testAttribute(Qt::WA_SetCursor);
            chosen->previous = lhWnd->cursor();
            lhWnd->setCursor(*cursor);
        }
        return;
    }
    for (Slot& s : m_slots) {
        if (s.window == lhWnd) {
            if (s.held) {
                restore(s);
                s = Slot{};
            }
            return;
        }
    }
}

void cAniCursor::restore(const Slot& slot) {
    if (!slot.window || !slot.held) return;
    if (slot.hadOwnCursor)
        slot.window->setCursor(slot.previous);
    else
        slot.window->unsetCursor();
}

std::optional<QCursor> cAniCursor::hCursor() const {
    if (!m_cursor) return std::nullopt;
    const IconImage& first = m_cursor->pictureAtStep(0);
    return QCursor(QPixmap::fromImage(first.image), first.hotSpot.x(), first.hotSpot.y());
}

bool cAniCursor::LoadFromFile(const QString& sFileName, bool bMapSysColours, bool bNotAnimated) {
    Destroy();
    int error = 0;
    const QByteArray data = readFile(sFileName, error);
    if (error) aniCursorErrors::raiseSystemError(error);
    auto parsed = AniFile::parse(data, bMapSysColours ? systemColourMap() : QHash<QRgb, QRgb>{});
    if (!parsed) aniCursorErrors::raiseSystemError(EINVAL);
    m_cursor = std::move(parsed);
    if (!bNotAnimated) CountFrames();
    return true;
}

bool cAniCursor::LoadFromResource(int, bool, qintptr, bool) {
    Destroy();
    initCursorResource();
    QFile resource(QStringLiteral(":/CUSTOM/2001"));
    if (!resource.open(QIODevice::ReadOnly)) aniCursorErrors::raiseSystemError(ENOENT);
    const QByteArray bytes = resource.readAll();
    const QString name = mTempFile::GetTempFileName(QStringLiteral("ANI"), QString());
    // From here on a failure only means "not loaded"; the file goes in every case.
    bool loaded = false;
    try {
        loaded = writeTempFile(name, bytes) && LoadFromFile(name, false, false);
    } catch (const std::exception&) {
        loaded = false;
    }
    ::unlink(QFile::encodeName(name).constData());
    return loaded;
}

void cAniCursor::Frame(int iFrame) {
    if (iFrame < 0 || iFrame >= m_frameCount) aniCursorErrors::raiseRuntimeError(9);
    m_frame = iFrame;
}

void cAniCursor::Step() {
    const int next = m_frame + 1;
    m_frame = next < 0 || next >= m_frameCount ? 0 : next;
}

void cAniCursor::Destroy() {
    if (!m_cursor) return;
    for (const Slot& s : m_slots)
        restore(s);
    m_slots.clear();
    m_cursor.reset();
    m_frameCount = 0;
    m_frame = 0;
}

void cAniCursor::CountFrames() {
    // The animation's length is its number of steps; a plain picture has none.
    m_frameCount = m_cursor && m_cursor->animated ? m_cursor->steps() : 0;
}

QSize cAniCursor::FrameSize() const {
    if (!m_cursor || m_frame >= m_cursor->steps()) return {};
    return m_cursor->pictureAtStep(m_frame).image.size();
}

void cAniCursor::Draw(QPainter& hDC, int lLeft, int lTop, int lWidth, int lHeight, qint64 lBackColor) const {
    if (!m_cursor || !hDC.isActive() || m_frame >= m_cursor->steps()) return;
    const IconImage& picture = m_cursor->pictureAtStep(m_frame);
    const QSize size = lWidth != 0 && lHeight != 0 ? QSize(lWidth, lHeight) : picture.image.size();
    if (size.width() <= 0 || size.height() <= 0) return;
    const QRect target(QPoint(lLeft, lTop), size);
    hDC.save();
    // Cursor pictures are pixel art: stretching repeats pixels rather than blurring them.
    hDC.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (lBackColor != -1) {
        if (const auto colour = TranslateColor(lBackColor)) hDC.fillRect(target, *colour);
    }
    hDC.drawImage(target, picture.image);
    if (!picture.invert.isNull()) {
        hDC.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        hDC.drawImage(target, picture.invert);
    }
    hDC.restore();
}

std::optional<QColor> cAniCursor::TranslateColor(qint64 colour) {
    if (colour < 0 || colour > 0xffffffffLL) return std::nullopt;
    const auto value = static_cast<quint32>(colour);
    if ((value & 0xff000000u) == 0) return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
    if ((value & 0xffffff00u) != 0x80000000u || !QGuiApplication::instance()) return std::nullopt;
    // The system colours by their classic numbers, as this desktop's palette has them.
    static const QPalette::ColorRole roles[] = {
        QPalette::Button,          // 0 scroll bar
        QPalette::Window,          // 1 desktop
        QPalette::Highlight,       // 2 active caption
        QPalette::Mid,             // 3 inactive caption
        QPalette::Window,          // 4 menu
        QPalette::Base,            // 5 window
        QPalette::Shadow,          // 6 window frame
        QPalette::WindowText,      // 7 menu text
        QPalette::Text,            // 8 window text
        QPalette::HighlightedText, // 9 caption text
        QPalette::Mid,             // 10 active border
        QPalette::Mid,             // 11 inactive border
        QPalette::Mid,             // 12 application workspace
        QPalette::Highlight,       // 13 highlight
        QPalette::HighlightedText, // 14 highlighted text
        QPalette::Button,          // 15 button face
        QPalette::Dark,            // 16 button shadow
        QPalette::PlaceholderText, // 17 grey text
        QPalette::ButtonText,      // 18 button text
        QPalette::Text,            // 19 inactive caption text
        QPalette::Light,           // 20 button highlight
        QPalette::Shadow,          // 21 3-D dark shadow
        QPalette::Midlight,        // 22 3-D light
        QPalette::ToolTipText,     // 23 tooltip text
        QPalette::ToolTipBase,     // 24 tooltip background
        QPalette::Window,          // 25 (unused)
        QPalette::Link,            // 26 hot-tracked item
        QPalette::Highlight,       // 27 active caption gradient
        QPalette::Mid,             // 28 inactive caption gradient
        QPalette::Highlight,       // 29 menu highlight
        QPalette::Window,          // 30 menu bar
    };
    const quint32 index = value & 0xff;
    if (index >= std::size(roles)) return std::nullopt;
    return QGuiApplication::palette().color(roles[index]);
}
