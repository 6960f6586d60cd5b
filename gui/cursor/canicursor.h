#pragma once

#include "gui/cursor/anifile.h"

#include <QCursor>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class QPainter;

// One animated cursor: loads it, counts its steps, steps through them and draws the
// current one into any painter. It can also serve as the cursor of widgets and
// put their previous cursors back.
//
// Failures raise AniCursorError (source "<executable>.cAniCursor"): a failed load
// errno OR 10000 (EINVAL OR 10000 for a file that is not a valid cursor), a frame
// out of range 9.
class cAniCursor {
public:
    cAniCursor() = default;
    ~cAniCursor();
    cAniCursor(const cAniCursor&) = delete;
    cAniCursor& operator=(const cAniCursor&) = delete;

    // True: show this cursor over `lhWnd`, remembering its previous cursor (a second
    // call keeps the first one remembered). False: put the remembered cursor back.
    // The widget shows the first step's picture; the widget cursor does not animate.
    void SetAsDefaultCursor(QWidget* lhWnd, bool bState);

    // The cursor as a widget cursor (first step's picture and hot spot); nullopt when none is loaded.
    std::optional<QCursor> hCursor() const;

    // Loads a cursor file; true when loaded. A plain .cur/.ico loads with 0 frames, and
    // so does an animated one when `bNotAnimated`. `bMapSysColours` replaces the greys
    // 128, 192 and 223 of a colour table with the palette's 3-D shades.
    bool LoadFromFile(const QString& sFileName, bool bMapSysColours = false, bool bNotAnimated = false);

    // Loads the program's own busy cursor (resource 2001 of type "CUSTOM") whatever
    // the arguments say, going through a temporary file that is removed again.
    // Answers false when the load failed; a missing resource or temporary file raises.
    bool LoadFromResource(int lResourceID, bool bMapSysColours = false, qintptr hInstance = 0,
                          bool bNotAnimated = false);

    int Frame() const { return m_frame; }
    void Frame(int iFrame); // 0 <= iFrame < FrameCount, else error 9 and no change
    int FrameCount() const { return m_frameCount; }

    // Next step, back to 0 after the last.
    void Step();

    // Puts every widget's cursor back and drops the cursor.
    void Destroy();

    // Draws the current step at (lLeft, lTop): at its own size unless both lWidth and
    // lHeight are non-zero. `lBackColor` -1 draws over what is there; otherwise
    // the rectangle is first filled with it (0x00BBGGRR, or 0x800000nn for system
    // colour nn taken from the application palette).
    void Draw(QPainter& hDC, int lLeft, int lTop, int lWidth = 0, int lHeight = 0,
              qint64 lBackColor = -1) const;

    // The size the current step draws at by default; empty when nothing is loaded.
    QSize FrameSize() const;

private:
    struct Slot {
        QPointer<QWidget> window; // null: the slot is free (or its widget is gone)
        bool held = false;        // a previous cursor is remembered
        bool hadOwnCursor = false;
        QCursor previous;
    };

    static std::optional<QColor> TranslateColor(qint64 colour);
    static void restore(const Slot& slot);
    void CountFrames();

    std::optional<AniFile> m_cursor;
    int m_frame = 0;
    int m_frameCount = 0;
    std::vector<Slot> m_slots;
};
