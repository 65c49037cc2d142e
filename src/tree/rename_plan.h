#pragma once
// The Case and Attributes window's work without widgets: what Step 2 lists,
// the case rename of the work list, and the attribute change.
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

// Called for every entry that is not renamed, as it happens.
using RenameFailed = std::function<void(const QString &path, const QString &reason)>;

// Renames every entry of *work, top to bottom, so that its own last name is
// in the case `to`; the folders above it keep their names. Nothing is ever
// replaced: a name taken by another entry, a missing entry, a refused rename
// or a name that is not UTF-8 goes to `failed` and the loop goes on. A name
// already in that case is left alone silently. When a folder is renamed,
// every later entry below it in *work and every entry below it in
// *candidates is rewritten to the new path; both lists then hold the paths
// as they now are. Linear in the total length of the paths. Returns the
// number of entries renamed.
int changeCase(QStringList *work, QStringList *candidates, Case to, const RenameFailed &failed);

// The text of the box shown for an entry that was not renamed.
QString notRenamedText(const QString &path, const QString &reason);

struct Failure
{
    QString path;
    QString reason;
};

// Change Attrib.: every entry of `work`, top to bottom, gets the bits of
// `set` and loses those of `clear` (clearing last); all other bits are
// written back as read. Returns the entries whose word could not be read or
// written, with the reason.
QList<Failure> changeAttributes(const QStringList &work, quint16 set, quint16 clear);

// The one box shown at the end of Change Attrib. when entries were not
// changed.
QString notChangedText(const QList<Failure> &failures);

} // namespace tree
