#pragma once
// Which operations the CD Operations window offers for a drive, and why a
// control is left off.
#include "disc/capabilities.h"
#include "exec/tool_identity.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace disc {

// What the recorder behind cdrecord does not do of the window's
// operations, in words for a tooltip; empty where it does it. cdrecord and
// wodim do them all.
struct RecorderLimits
{
    QString finalize;     // -fix
    QString dontFinalize; // -nofix
    QString format;       // -format
    // The blank types it does not do, each with its reason.
    QList<std::pair<QString, QString>> blankTypes;
    QString blankTypeReason(const QString &type) const;
};
RecorderLimits recorderLimits(exec::Implementation recorder);

// How a capability evaluation changes the window. Unset fields stay as
// they were.
struct Offers
{
    std::optional<bool> burnPanel;       // btBurn, seSpeed and the check boxes
    std::optional<bool> rewritablePanel; // btFormat, btQuickFormat, ComboBox2
    std::optional<bool> finalize;
    std::optional<bool> read;            // only ever enables
    std::optional<QString> speedLabel;
    std::optional<int> maxSpeed;         // new maximum and value of seSpeed
    // Why a control is left disabled, for its tooltip; empty when it is
    // offered. A speed reason disables seSpeed within an offered panel, a
    // don't-finalize reason cbDontFinalize, a format reason btFormat within
    // the rewritable panel.
    QString burnReason, rewritableReason, finalizeReason, readReason, speedReason;
    QString dontFinalizeReason, formatReason;
    // Blank types the recorder does not do, with why (ComboBox2's items).
    QList<std::pair<QString, QString>> blankTypesOff;
};
Offers offersFor(const Capabilities &c, bool cdrecordFound, bool readcdFound,
                 exec::Implementation recorder = exec::Implementation::Unknown);

// The speed field's value: its text as a number, 1 when it is none.
int speedFromText(QStringView text);
// A speed left above the maximum is pulled back to it; below 1 to 1.
int clampSpeed(int value, int maximum);

inline const QString kNoDriveSelected = QStringLiteral("No drive selected");
inline const QString kQueryRunning = QStringLiteral("The capability query is running");
inline const QString kNoWriteSpeed = QStringLiteral("The drive's report gives no write speed");
inline const QString kDriveReports = QStringLiteral("The drive reports: ");
inline const QString kNoCdrLine = QStringLiteral("The drive's report does not say that it writes CD-R media");
inline const QString kNoCdrwLine = QStringLiteral("The drive's report does not say that it writes CD-RW media");

} // namespace disc
