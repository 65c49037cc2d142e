#pragma once
// Attribute words, the case rename and folder reads.
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

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

// The attribute word of one entry itself. A symbolic link is never
// followed for the word: a link's word is its own, which on Linux holds no
// mode or extended attribute, so it is kDirectory when it points to a
// folder (the listing then puts it with the folders, without entering it),
// kHidden for a name beginning with ".", and nothing else; the target's
// permission bits and extended attributes are never read as the link's.
// The folders above the entry are taken as the path names them. False with
// the system's reason when the entry cannot be examined.
bool readAttributes(const QString &path, quint16 *word, QString *error);

// Where an entry lies below the folder the user chose: how many of the
// entry's last names are below that folder (at least 1: then the chosen
// folder is the entry's own folder), and the identity the chosen folder had
// when it was listed (0 and 0 when not known). A chosen folder that is found
// replaced (for instance by a link to elsewhere) changes nothing.
struct Beneath
{
    Beneath(int names = 1, quint64 device = 0, quint64 inode = 0) : names(names), device(device), inode(inode) {}
    int names;
    quint64 device, inode;
};
// The identity of a folder as the listing enters it (links followed); false
// when it cannot be examined.
bool folderIdentity(const QString &folder, quint64 *device, quint64 *inode);

// The reason given for an entry that is a symbolic link and so is left
// alone, and for one whose path below the chosen folder passes a link.
QString symbolicLinkText();
QString linkInPathText();
QString folderReplacedText();

// Change Attrib. for one entry: gives it the read-only, hidden, system and
// archive bits of `set` and takes those of `clear` (clearing last; other
// bits are kept): read-only through the write permission bits (set: no one
// may write; cleared: the owner may again), all four in "user.DOSATTRIB" for
// Samba's Windows clients, or the FAT attribute byte on FAT. Writes nothing
// when the word is unchanged.
//
// `where` tells which names of `path` lie below the folder the user chose.
// The chosen folder is opened as the path names it (and checked against the
// identity it had when listed); every name below it is opened relative to
// its folder without following a symbolic link (openat2 with
// RESOLVE_BENEATH where the kernel has it), and the word is read and written
// through the entry's own descriptor, so a link swapped in at any time
// cannot redirect the write out of the tree. An entry that is a link is not
// changed (symbolicLinkText()), nor is one below a link (linkInPathText()).
// False with the reason when the word could not be given completely (for
// instance no extended attributes on this file system, or a name beginning
// with "." that always reads as hidden). The calls go through fileCalls()
// (file_calls.h).
bool changeAttributes(const QString &path, const Beneath &where, quint16 set, quint16 clear, QString *error);

// A folder opened once for the changes of many of its entries (spindle-cli
// attrib): no symbolic link is followed anywhere on its absolute path, and
// every entry is reached relative to it, so a folder on the path swapped for
// a link later cannot redirect a write.
class OpenedFolder
{
public:
    OpenedFolder() = default;
    ~OpenedFolder();
    OpenedFolder(const OpenedFolder &) = delete;
    OpenedFolder &operator=(const OpenedFolder &) = delete;
    // False with the reason (linkInPathText() for a link on the way).
    bool open(const QString &absolutePath, QString *error);
    // changeAttributes and readAttributes for the entry `name` of the
    // folder ("" for the folder itself).
    bool changeAttributes(const QByteArray &name, quint16 set, quint16 clear, QString *error) const;
    bool readAttributes(const QByteArray &name, quint16 *word, QString *error) const;

private:
    int m_fd = -1;
};

// Renames the entry at `path` to `newName` in the same folder, never
// replacing an existing entry (renameat2 with RENAME_NOREPLACE relative to
// the folder's descriptor). The folders between the chosen folder and the
// entry (see changeAttributes for `where`) are opened without following a
// link; the entry itself may be a link, which is renamed, not its target.
// Where the new name finds the entry itself, as on a file system that
// matches names without regard to case, the rename goes through a temporary
// name. False with the system's reason, and its errno value in *code (ELOOP
// for a link on the path), when nothing was renamed. *folder, when given,
// tells whether the entry is a folder (false when that is unknown).
bool renameEntry(const QString &path, const Beneath &where, const QString &newName, QString *error, int *code = nullptr,
                 bool *folder = nullptr);

// Whether a folder that another program has open cannot be renamed (true on
// Windows only).
bool openFoldersBlockRenames();

// One entry of a folder as readFolder gives it.
struct FolderEntry
{
    // The raw name, never "." or "..". Its bytes live only during the call
    // that gives the entry: copy them (QByteArray(name.constData(),
    // name.size())) to keep them.
    QByteArray name;
    quint16 attributes = 0; // as readAttributes gives them
    bool realFolder = false; // a folder itself, not a link to one
    bool link = false;       // a symbolic link
    quint64 device = 0, inode = 0; // identity of the entry (hard links share it)
    qint64 size = 0; // bytes, as the entry's stat gives them (a link: its target)
};

namespace detail {
class WordReader;
}

// What a listing learns about the file systems it reads (FAT or not, user
// extended attributes or not), kept from one folder to the next.
class ListingMemory
{
public:
    ListingMemory();
    ~ListingMemory();
    ListingMemory(const ListingMemory &) = delete;
    ListingMemory &operator=(const ListingMemory &) = delete;
    detail::WordReader &reader() { return *m_reader; }

private:
    std::unique_ptr<detail::WordReader> m_reader;
};

// Calls `each` for every entry of `folder` in the order the file system
// returns them. False with the system's reason when the folder cannot be
// opened; entries that vanish while being read are left out. *self, when
// given, receives the folder's own device and inode. With `noFollow` the
// folder's own last name is not followed when it is a symbolic link (the
// open then fails), for folders the listing enters below the chosen one.
// Each entry is examined relative to the folder's descriptor without
// following a link: by name (fstatat and getxattrat, AT_SYMLINK_NOFOLLOW)
// where the kernel has getxattrat, else opened (O_NOFOLLOW) and read
// through its own descriptor. `memory` carries what the folders before
// learned.
bool readFolder(const QString &folder, const std::function<void(const FolderEntry &)> &each,
                QString *error, FolderEntry *self = nullptr, bool noFollow = false,
                ListingMemory *memory = nullptr);

// A path that Qt's own file classes gave (a folder tree, a file dialog): they
// decode a name that is not UTF-8 lossily (U+FFFD), so each such name is
// looked up again among its folder's entries and given its real bytes.
// Empty when a name cannot be told apart from another one.
QString pathFromQt(const QString &qtPath);

} // namespace platform
