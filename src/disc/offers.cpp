#include "offers.h"

#include "exec/tools.h"
#include "platform/platform.h"

namespace disc {

Offers offersFor(const Capabilities &c, bool cdrecordFound, bool readcdFound)
{
    Offers o;
    const QString cdrReason = c.cdrRefusal.isEmpty() ? kNoCdrLine : kDriveReports + c.cdrRefusal;
    const QString cdrwReason = c.cdrwRefusal.isEmpty() ? kNoCdrwLine : kDriveReports + c.cdrwRefusal;
    const QString noCdrecord = exec::missingToolMessage(platform::exeName(QStringLiteral("cdrecord")));
    if (!readcdFound)
        o.readReason = exec::missingToolMessage(platform::exeName(QStringLiteral("readcd")));
    if (!c.writesCDR) {
        o.burnPanel = o.rewritablePanel = o.finalize = false;
        o.speedLabel = QString();
        if (readcdFound)
            o.read = true;
    }
    auto writes = [&](bool rewritable) {
        o.burnPanel = true;
        o.rewritablePanel = rewritable;
        o.speedLabel = c.maxWriteSpeed;
        if (c.speed)
            o.maxSpeed = *c.speed;
        o.finalize = true;
        if (readcdFound)
            o.read = true;
    };
    if (c.writesCDR && cdrecordFound)
        writes(false);
    if (c.writesCDRW && cdrecordFound)
        writes(true);
    if (!cdrecordFound) {
        o.burnReason = o.rewritableReason = o.finalizeReason = noCdrecord;
        return o;
    }
    if (!o.burnPanel.value_or(false))
        o.burnReason = cdrReason;
    if (!o.finalize.value_or(false))
        o.finalizeReason = cdrReason;
    if (!o.rewritablePanel.value_or(false))
        o.rewritableReason = o.burnPanel.value_or(false) ? cdrwReason : cdrReason;
    if (o.burnPanel.value_or(false) && !c.speed)
        o.speedReason = kNoWriteSpeed;
    return o;
}

int speedFromText(QStringView text) { return speedNumber(text.trimmed()).value_or(1); }

int clampSpeed(int value, int maximum)
{
    if (maximum >= 1 && value > maximum)
        return maximum;
    return value < 1 ? 1 : value;
}

} // namespace disc
