#pragma once
// The folder listing shared by the layout sorter and the renamer.
#include <QString>
#include <QStringList>

namespace tree {

// Appends to *out the full path of every entry of `folder` that the masks
// admit, in the order the file system returns them (nothing is sorted).
//
// With A an entry's attribute word (platform::Attribute bits, see
// platform::readAttributes), the entry is admitted when (A & include) != 0,
// or when A == 0 and include != 0x10; an admitted entry is then dropped when
// (A & exclude) != 0. Paths are `folder`, a "/" unless it already ends in
// one ("" lists "/"), and the entry's name; names that are not UTF-8 keep
// their bytes (platform::decodePath).
//
// With `recurse`, every kept real folder is listed right after its own line
// (depth first, parent first); folders that were not kept are not entered.
// A symbolic link is an entry of its own with its own word (never its
// target's) and never entered: a subfolder is opened without following a
// link and must still be the folder that was read as its parent's entry. A
// folder that cannot be read is skipped (its path goes to *unreadable when
// given), and a folder already being listed further up (a bind-mount loop)
// is not entered again.
void listFolder(const QString &folder, quint16 include, quint16 exclude, bool recurse,
                QStringList *out, QStringList *unreadable = nullptr);

} // namespace tree
