#pragma once
// Attribute words, the case rename and folder reads.
#include <QByteArray>
#include <QString>
#include <functional>

namespace platform {

// Attribute bits of a file or folder. On Linux: kDirectory for a folder (also
// reached through a symbolic link); kReadOnly when no write permission bit is
// set (owner, group and others); kHidden for names beginning with "."; and
// kHidden, kSystem, kArchive where the entry carries them in its
// "user.DOSATTRIB" extended attribute (Samba's form: a NUL-terminated hex
// text such as "0x22"). On a FAT file system all four come from the FAT
// attribute byte instead. kVolumeLabel never occurs there.
enum Attribute : quint16 {
    kReadOnly = 0x01,
    kHidden = 0x02,
    kSystem = 0x04,
    kVolumeLabel = 0x08,
    kDirectory = 0x10,
    kArchive = 0x20,
    kAllAttributes = 0x3F,
};

// The attribute word of one entry (a symbolic link reads as its target; a
// dangling link as a plain entry). False with the system's reason when the
// entry cannot be examined.
bool readAttributes(const QString &path, quint16 *word, QString *error);
// Gives an entry the read-only, hidden, system and archive bits of `word`
// (other bits are ignored): read-only through the write permission bits
// (set: no one may write; cleared: the owner may again), all four in
// "user.DOSATTRIB" for Samba's Windows clients, or the FAT attribute byte on
// FAT. Writes nothing when the word is unchanged. False with the reason when
// the word could not be given completely (for instance no extended
// attributes on this file system, or a name beginning with "." that always
// reads as hidden). The calls go through fileCalls() (file_calls.h).
bool writeAttributes(const QString &path, quint16 word, QString *error);

// Renames an entry, never replacing an existing one (renameat2 with
// RENAME_NOREPLACE). Where the target names the entry itself, as on a file
// system that matches names without regard to case, the rename goes through
// a temporary name. False with the system's reason, and its errno value in
// *code, when nothing was renamed.
bool renameNoReplace(const QString &from, const QString &to, QString *error, int *code = nullptr);

// One entry of a folder as readFolder gives it.
struct FolderEntry
{
    QByteArray name;        // the raw name, never "." or ".."
    quint16 attributes = 0; // as readAttributes gives them
    bool realFolder = false; // a folder itself, not a link to one
    quint64 device = 0, inode = 0; // identity of a real folder
    qint64 size = 0; // bytes, as the entry's stat gives them (a link: its target)
};

// Calls `each` for every entry of `folder` in the order the file system
// returns them. False with the system's reason when the folder cannot be
// opened; entries that vanish while being read are left out. *self, when
// given, receives the folder's own device and inode.
bool readFolder(const QString &folder, const std::function<void(const FolderEntry &)> &each,
                QString *error, FolderEntry *self = nullptr);

} // namespace platform
