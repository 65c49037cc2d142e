#pragma once
// The Case and Attributes window's work without widgets: what Step 2 lists,
// the case rename of the work list, and the attribute change.
#include "platform/attributes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tree {

// Step 2: the folder's own path when `includeFolder`, then the folder
// listing with the masks the three Include boxes give (directory bit for the
// folder box, 0x3F for the files box; the subfolders box recurses and lifts
// the exclusion of folders).
QStringList stepTwo(const QString &folder, bool includeFolder, bool includeFiles, bool includeSubfolders);

enum class Case { Upper, Lower };

// The name mapped to upper or lower case (Unicode rules; the ASCII letters
// map as in the C locale).
QString mappedName(const QString &name, Case to);
// False when the name holds bytes that are not UTF-8 (platform::decodePath
// keeps them as lone surrogates); its case is then left alone.
bool isUtf8Name(const QString &name);

// False when mapping `name` to the case `to` cannot be undone by mapping it
// back: its length or its letters change (straße becomes STRASSE, which
// becomes strasse; a final ς becomes Σ, which becomes σ).
bool reversibleCase(const QString &name, Case to);

// How many names below the folder the user chose an entry has: 1 for the
// folder itself and for its direct entries, 2 one folder deeper, and so on.
// The folders from the chosen one down are opened without following links
// (platform::changeAttributes).
int namesBelow(const QString &folder, const QString &path);
// Where an entry Step 2 listed from `folder` lies: namesBelow, and the
// folder's identity (`device`, `inode`) for every entry but the folder's own.
platform::Beneath beneath(const QString &folder, const QString &path, quint64 device, quint64 inode);

// Called for every entry that is not renamed, as it happens; `folder` tells
// whether it is a folder.
using RenameFailed = std::function<void(const QString &path, const QString &reason, bool folder)>;

// What one press of "To Uppercase" or "To Lowercase" did.
struct CaseSummary
{
    int renamed = 0, notRenamed = 0, unchanged = 0;
    // Renamed entries whose change cannot be undone: old path, new path.
    QList<std::pair<QString, QString>> irreversible;
};

// Renames every entry of *work, top to bottom, so that its own last name is
// in the case `to`; the folders above it keep their names. Nothing is ever
// replaced: a name taken by another entry, a missing entry, a refused rename,
// a link on the way below the chosen folder or a name that is not UTF-8 goes
// to `failed` and the loop goes on. A name already in that case is left
// alone silently. When a folder is renamed, every later entry below it in
// *work and every entry below it in *candidates is rewritten to the new
// path; both lists then hold the paths as they now are. `where` tells for
// each work entry where it lies (missing: its own folder is the chosen one). Linear in the total length of
// the paths. Returns the number of entries renamed; *summary, when given,
// receives the counts.
int changeCase(QStringList *work, QStringList *candidates, Case to, const RenameFailed &failed,
               const QList<platform::Beneath> &where = {}, CaseSummary *summary = nullptr);

// The text of the box shown for an entry that was not renamed.
QString notRenamedText(const QString &path, const QString &reason, bool folder);
// The box at the end of a case change: the counts, then the names whose
// change cannot be undone.
QString caseSummaryText(const CaseSummary &summary, Case to);

struct Failure
{
    QString path;
    QString reason;
};

// Change Attrib.: every entry of `work`, top to bottom, gets the bits of
// `set` and loses those of `clear` (clearing last); all other bits are
// written back as read. No link is followed below the chosen folder (`where`
// as at changeCase); an entry that is a link is left alone. Returns the
// entries whose word could not be read or written, with the reason.
QList<Failure> changeAttributes(const QStringList &work, quint16 set, quint16 clear,
                                const QList<platform::Beneath> &where = {});

// The list of entries that were not changed, with the reasons.
QString notChangedText(const QList<Failure> &failures);
// The box at the end of Change Attrib.: how many entries were changed and
// not, the entries `set` made read-only (folders end in "/": nothing can
// be added to, renamed in or removed from them now), then notChangedText.
QString attributeSummaryText(const QStringList &work, quint16 set, const QList<Failure> &failures);

} // namespace tree
