#pragma once
// Which operations the CD Operations window offers for a drive, and why a
// control is left off.
#include "capabilities.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace disc {

// How a capability evaluation changes the window. Unset fields stay as
// they were.
struct Offers
{
    std::optional<bool> burnPanel;       // btBurn, seSpeed and the three check boxes
    std::optional<bool> rewritablePanel; // btFormat, btQuickFormat, ComboBox2
    std::optional<bool> finalize;
    std::optional<bool> read;            // only ever enables
    std::optional<QString> speedLabel;
    std::optional<int> maxSpeed;         // new maximum and value of seSpeed
    // Why a control is left disabled, for its tooltip; empty when it is
    // offered. A speed reason disables seSpeed within an offered panel.
    QString burnReason, rewritableReason, finalizeReason, readReason, speedReason;
};
Offers offersFor(const Capabilities &c, bool cdrecordFound, bool readcdFound);

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
