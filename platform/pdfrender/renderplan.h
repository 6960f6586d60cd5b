#pragma once

// How a page is drawn so that what poppler holds for it stays within one budget: which backend
// draws it and how many rows a band holds, chosen from what the page asks for (PageDemand).

#include "platform/pdfrender/pagescan.h"

#include <QString>

namespace pdfrender {

struct RenderPlan {
    bool painter = false; // the QPainter backend, which does not scale images on the device
    qint64 bandBytes = 0; // rendered pixels (4 bytes each) a band holds at most
    QString refusal;      // why the page is not drawn at all
};

// Splash, with the usual band (`bandBytes`, or less where a large image or nested transparency
// needs room); the QPainter backend when an image would be scaled past three quarters of the
// budget; a refusal when neither fits.
RenderPlan planRender(const PageDemand& demand, qint64 bandBytes);

// What poppler may hold for a page besides the program itself: 320 MiB, which keeps a page's
// peak under 400 MB. Tests make it small to reach the other backend and the refusal with small
// pages.
qint64 renderBudget();
void setRenderBudget(qint64 bytes);

} // namespace pdfrender
