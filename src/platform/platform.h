#pragma once
// Operating-system services behind one thin layer, so the rest of Spindle
// stays free of platform #ifdefs.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// Suffix of executable files: ".exe" on Windows, empty elsewhere.
QString exeSuffix();
// A tool's file name as this platform spells it ("mkisofs" / "mkisofs.exe").
QString exeName(const QString &base);

// Folder of the running executable, with a trailing separator.
QString executableFolder();
// Spindle's folder: where the tools and scratch files live. Defaults to the
// executable's folder; tests point it elsewhere.
QString spindleFolder();
void setSpindleFolder(const QString &folder);
// Where Spindle writes its own scratch files: Spindle's folder while it can
// be written, otherwise (an installed, read-only program folder) the user's
// data folder, created when needed. With a trailing separator.
QString workFolder();

// Makes `folder` the process's current directory; false when that fails.
bool setCurrentDir(const QString &folder);
QString currentDir();
bool fileExists(const QString &path);
// Removes a file; failures are the caller's to ignore.
bool removeFile(const QString &path);
// Creates or truncates a file. On failure returns false and puts the
// system's reason into *reason.
bool createEmptyFile(const QString &path, QString *reason);
// Writes a whole file atomically (temporary file, then rename).
bool writeFileAtomic(const QString &path, const QByteArray &data, QString *reason);
// Appends to a file, creating it when needed.
bool appendToFile(const QString &path, const QByteArray &data, QString *reason);

// Resolves a program name the way Spindle starts programs: a name with a
// separator is taken as a path; otherwise Spindle's folder, the current
// directory, then PATH. Empty when not found or not executable.
QString findProgram(const QString &name);
// The same search for a file that need not be executable (batch files).
QString findFile(const QString &name);

// The standard texts of a file that cannot be opened or created, with the
// system's reason.
QString cannotOpenText(const QString &path, const QString &reason);
QString cannotCreateText(const QString &path, const QString &reason);

// Whether the desktop has a default program for the file's type.
bool hasDesktopHandler(const QString &path);

// Text of the last system error (errno), as the system words it.
QString lastErrorText();
// Text of a given system error number.
QString errorText(int errnum);

// File names are bytes. Paths travel through Spindle as QString: valid UTF-8
// decodes as usual, and every byte that is not part of valid UTF-8 becomes
// the lone surrogate U+DC80..U+DCFF, so encodePath(decodePath(b)) == b for
// any name the file system holds. Every file service below takes paths in
// this form.
QString decodePath(const QByteArray &bytes);
QByteArray encodePath(const QString &path);

// "Slash form" of a path: on Windows every backslash becomes "/"; elsewhere
// "/" already is the separator and a backslash is an ordinary name
// character, so the path is returned unchanged.
QString slashForm(const QString &path);

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
};

// Calls `each` for every entry of `folder` in the order the file system
// returns them. False with the system's reason when the folder cannot be
// opened; entries that vanish while being read are left out. *self, when
// given, receives the folder's own device and inode.
bool readFolder(const QString &folder, const std::function<void(const FolderEntry &)> &each,
                QString *error, FolderEntry *self = nullptr);

} // namespace platform
