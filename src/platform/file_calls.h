#pragma once
// The system calls behind the attribute word and the case rename, in one
// replaceable place: tests derive from FileCalls and override single calls
// to stand for another file system (no user extended attributes, FAT,
// names matched without regard to case), for an older kernel or for a
// failure.
//
// Entries are reached through file descriptors, never through a path that
// the kernel would resolve again: an entry's `fd` is opened with O_NOFOLLOW
// (O_PATH, or read-only where the listing can), so a symbolic link swapped
// in after the entry was opened cannot redirect a call. Where an O_PATH
// descriptor cannot serve a call, it goes through /proc/self/fd/N, which
// names the opened inode.
#include <QByteArray>

#include <sys/types.h>

struct stat;

namespace platform {

// Every call returns 0 or the errno value of its failure.
class FileCalls
{
public:
    virtual ~FileCalls() = default;
    // openat(dirfd, name, flags | O_CLOEXEC); `name` is one name or, for the
    // folder the user chose, a whole path.
    virtual int openAt(int dirfd, const char *name, int flags, int *fd);
    // openat2 of the relative `path` below `dirfd` with O_PATH | O_NOFOLLOW,
    // RESOLVE_BENEATH and RESOLVE_NO_SYMLINKS: ELOOP when a folder on the way
    // is a symbolic link (the last name may be one: the descriptor is then
    // the link's own), ENOSYS where the kernel has no openat2.
    virtual int openBeneath(int dirfd, const char *path, int *fd);
    virtual int close(int fd);
    // fstat of an entry.
    virtual int stat(int fd, struct stat *st);
    // fstatat of one name of a folder; `follow` = false never follows a link.
    virtual int statAt(int dirfd, const char *name, struct stat *st, bool follow);
    virtual int changeMode(int fd, mode_t mode);
    // The raw value of "user.DOSATTRIB"; ENODATA when the entry has none,
    // ENOTSUP when the file system keeps no user extended attributes.
    virtual int getDosAttrib(int fd, QByteArray *value);
    virtual int setDosAttrib(int fd, const QByteArray &value);
    // The same for the entry `name` of the folder `dirfd`, read by name
    // without opening it and without following a link (getxattrat with
    // AT_SYMLINK_NOFOLLOW, Linux 6.13); ENOSYS where the kernel lacks it.
    virtual int getDosAttribAt(int dirfd, const char *name, QByteArray *value);
    // Whether getDosAttribAt works here: asked of the kernel once.
    virtual bool haveDosAttribAt();
    // Whether the entry lies on a FAT (msdos/vfat) file system.
    virtual int onFat(int fd, bool *fat);
    // FAT_IOCTL_GET_ATTRIBUTES / FAT_IOCTL_SET_ATTRIBUTES; ENOTTY when the
    // entry is not on FAT after all.
    virtual int getFatAttributes(int fd, quint32 *attributes);
    virtual int setFatAttributes(int fd, quint32 attributes);
    // renameat2 with RENAME_NOREPLACE: never replaces an existing entry.
    virtual int renameNoReplace(int fromDir, const char *from, int toDir, const char *to);
};

// The calls in use: the system's unless replaced.
FileCalls &fileCalls();
// Replaces them (not owned); nullptr goes back to the system's.
void setFileCalls(FileCalls *calls);

// "/proc/self/fd/N": the path of an opened descriptor's own inode.
QByteArray descriptorPath(int fd);

} // namespace platform
