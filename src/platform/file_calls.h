#pragma once
// The system calls behind the attribute word and the case rename, in one
// replaceable place: tests derive from FileCalls and override single calls
// to stand for another file system (no user extended attributes, FAT,
// names matched without regard to case) or for a failure.
#include <QByteArray>

#include <sys/types.h>

struct stat;

namespace platform {

// Every call returns 0 or the errno value of its failure.
class FileCalls
{
public:
    virtual ~FileCalls() = default;
    // stat (follow = true) or lstat.
    virtual int stat(const char *path, struct stat *st, bool follow);
    virtual int changeMode(const char *path, mode_t mode);
    // The raw value of "user.DOSATTRIB"; ENODATA when the entry has none,
    // ENOTSUP when the file system keeps no user extended attributes.
    virtual int getDosAttrib(const char *path, QByteArray *value);
    virtual int setDosAttrib(const char *path, const QByteArray &value);
    // Whether the entry lies on a FAT (msdos/vfat) file system.
    virtual int onFat(const char *path, bool *fat);
    // FAT_IOCTL_GET_ATTRIBUTES / FAT_IOCTL_SET_ATTRIBUTES; ENOTTY when the
    // entry is not on FAT after all.
    virtual int getFatAttributes(const char *path, quint32 *attributes);
    virtual int setFatAttributes(const char *path, quint32 attributes);
    // renameat2 with RENAME_NOREPLACE: never replaces an existing entry.
    virtual int renameNoReplace(const char *from, const char *to);
};

// The calls in use: the system's unless replaced.
FileCalls &fileCalls();
// Replaces them (not owned); nullptr goes back to the system's.
void setFileCalls(FileCalls *calls);

} // namespace platform
