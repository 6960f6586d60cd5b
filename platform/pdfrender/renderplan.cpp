#include "platform/pdfrender/renderplan.h"

#include <QLocale>
#include <algorithm>

namespace pdfrender {

namespace {

qint64& budget() {
    static qint64 bytes = qint64(320) << 20;
    return bytes;
}

// A band costs its pixels and Splash's alpha plane (5/4 of its bytes); each transparency group
// or soft mask in effect holds a bitmap like it with its own planes and a backdrop (5/2).
double bandFactor(int groups) {
    return 1.25 + 2.5 * groups;
}

QString megabytes(double bytes) {
    return QLocale(QLocale::English).toString(qint64(bytes / 1e6 + 0.5));
}

} // namespace

qint64 renderBudget() {
    return budget();
}

void setRenderBudget(qint64 bytes) {
    budget() = std::max<qint64>(bytes, 1);
}

RenderPlan planRender(const PageDemand& demand, qint64 bandBytes) {
    RenderPlan plan;
    if (!demand.refusal.isEmpty()) {
        plan.refusal = demand.refusal;
        return plan;
    }
    const double total = double(budget());
    // An image may take three quarters of the budget; bands share what it leaves.
    const double imageShare = total * 3 / 4;
    const double scaled = demand.scaledBytes + demand.decoderBytes;
    const double painted = demand.sourceBytes + demand.decoderBytes;
    double image = scaled;
    if (scaled > imageShare) {
        if (painted > imageShare) {
            plan.refusal =
                demand.decoderBytes > imageShare
                    ? QStringLiteral("an image on it takes %1 MB to decode (at most %2 MB)")
                          .arg(megabytes(demand.decoderBytes), megabytes(imageShare))
                    : QStringLiteral("it draws an image of %1 x %2 pixels over %3 x %4 pixels, too large "
                                     "to draw at this resolution (try a lower one)")
                          .arg(demand.largestSource.width())
                          .arg(demand.largestSource.height())
                          .arg(demand.largestDrawn.width())
                          .arg(demand.largestDrawn.height());
            return plan;
        }
        plan.painter = true;
        image = painted;
    }
    plan.bandBytes =
        std::max<qint64>(1, std::min(bandBytes, qint64((total - image) / bandFactor(demand.groups))));
    return plan;
}

} // namespace pdfrender
