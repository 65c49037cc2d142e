#pragma once
// What Spindle reads from cdrecord's drive scan and capability report, and
// the command lines of the disc operations. Plain text rules, no widgets.
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace disc {

// The value of one output item: the text after the first '=' when there is
// one, otherwise the item without its first character (the scan indents
// its device lines with a tab).
QStringView lineValue(QStringView item);
// A line value that names a CD-ROM device.
bool isDeviceLine(QStringView value);
// bus,target,lun of a text. Multi-digit numbers are kept whole; a text
// without that form gives the five characters from one before the first
// comma (the first five without a usable comma).
QString deviceAddress(QStringView text);
// Vendor and product fields of a scan line, joined without a blank and
// with their padding kept; empty when the vendor field is empty.
QString deviceName(QStringView value);
struct Drive
{
    QString entry; // the drop-down text: "[address] name"
    qsizetype addressLength = 0;
    QString address() const { return entry.mid(1, addressLength); }
};
// Every device line of a scan, in order; nothing merged or sorted.
QList<Drive> scanDrives(const QStringList &lines);

// The two characters three before the first comma of a speed line value
// ("(CD  40x, DVD  5x)" gives "40"), or its first two.
QString writeSpeedCut(QStringView value);
// The integer of a speed text: leading blanks, then digits to the end.
std::optional<int> speedNumber(QStringView text);

// What a capability report says.
struct Capabilities
{
    bool writesCDR = false;
    bool writesCDRW = false;
    // The text shown as the maximum write speed (the last speed line's cut;
    // for the older "in kB/s: N" form the speed in CD multiples).
    QString maxWriteSpeed;
    // The speed as a number, when there is one.
    std::optional<int> speed;
};
Capabilities evaluateCapabilities(const QStringList &lines);

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
};
Offers offersFor(const Capabilities &c, bool cdrecordFound, bool readcdFound);

// The speed field's value: its text as a number, 1 when it is none.
int speedFromText(QStringView text);
// A speed left above the maximum is pulled back to it; below 1 to 1.
int clampSpeed(int value, int maximum);

// Command lines.
// Spindle's folder followed by "cdrecord -scanbus", the folder quoted when
// it holds a blank; a folder holding a quote gives the bare tool name.
QString scanCommand(const QString &spindleFolder);
QString capabilityCommand(const QString &address);
struct BurnChoice
{
    QString address;
    bool simulate = true;
    bool dontFinalize = false;
    bool burnFree = true;
    int speed = 1;
    QString file;
};
QString burnCommand(const BurnChoice &b);
QString formatCommand(const QString &address);
QString blankCommand(const QString &address, const QString &blankType);
QString readCommand(const QString &address, const QString &file);
QString finalizeCommand(const QString &address);

// Texts of the window.
inline const QString kNoDevices = QStringLiteral("No CD-ROM devices found");
inline const QString kPermanentChanges =
    QStringLiteral("This operation makes permanent changes. Are you sure you want to proceed? ");
inline const QString kImageFilter = QStringLiteral("ISO Files|*.ISO|RAW Files|*.RAW|All Files|*.*");
inline const QStringList kBlankTypes = {QStringLiteral("all"),     QStringLiteral("fast"),
                                        QStringLiteral("unclose"), QStringLiteral("session"),
                                        QStringLiteral("track"),   QStringLiteral("unreserve"),
                                        QStringLiteral("trtail")};

} // namespace disc
