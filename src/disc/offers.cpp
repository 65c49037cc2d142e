#include "disc/offers.h"

#include "disc/commands.h"
#include "exec/tools.h"
#include "platform/platform.h"

namespace disc {

QString RecorderLimits::blankTypeReason(const QString &type) const
{
    for (const auto &[t, reason] : blankTypes)
        if (t == type)
            return reason;
    return {};
}

RecorderLimits recorderLimits(exec::Implementation recorder)
{
    RecorderLimits l;
    if (recorder != exec::Implementation::Cdrskin)
        return l;
    // What cdrskin 1.5 says of these: "ignoring unimplemented option",
    // "-format does DVD+RW only", "Blank option '…' not supported yet".
    l.finalize = QStringLiteral("cdrskin does not finalize a disc: it ignores -fix");
    l.dontFinalize = QStringLiteral("cdrskin ignores -nofix: it closes the disc after the burn");
    l.format = QStringLiteral("cdrskin formats DVD+RW only, not CD-RW (-format)");
    for (const QString &type : kBlankTypes)
        if (type != QLatin1String("all") && type != QLatin1String("fast"))
            l.blankTypes.append({type, QStringLiteral("cdrskin does not do blank=%1 (\"not supported yet\")").arg(type)});
    return l;
}

Offers offersFor(const Capabilities &c, bool cdrecordFound, bool readcdFound, exec::Implementation recorder)
{
    Offers o;
    const QString cdrReason = !c.failure.isEmpty()      ? c.failure
                              : c.cdrRefusal.isEmpty() ? kNoCdrLine
                                                       : kDriveReports + c.cdrRefusal;
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
    // What the drive could do but the recorder does not.
    const RecorderLimits limits = recorderLimits(recorder);
    if (o.finalize.value_or(false) && !limits.finalize.isEmpty()) {
        o.finalize = false;
        o.finalizeReason = limits.finalize;
    }
    o.dontFinalizeReason = limits.dontFinalize;
    o.formatReason = limits.format;
    o.blankTypesOff = limits.blankTypes;
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
