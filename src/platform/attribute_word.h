#pragma once
// Inside the platform layer: how an entry's attribute word is put together,
// shared by readAttributes and readFolder.
#include "platform/file_calls.h"

#include <QList>

#include <sys/stat.h>

namespace platform::detail {

// Reads the words of entries, remembering per device whether it is FAT and
// whether it keeps user extended attributes. Lives for one listing.
class WordReader
{
public:
    // The word of the entry opened as `fd` (O_PATH, not a symbolic link;
    // last name `name`, fstat result `st`). Returns 0, or the errno value of
    // a part that could not be read; *word then holds the bits that could.
    int word(int fd, const char *name, const struct stat &st, quint16 *word);
    // The word of the entry `name` of the folder `dirfd` from its fstatat
    // result `st` (not a symbolic link), its extended attribute read by
    // name without opening it; only where byName() said so.
    int wordAt(int dirfd, const char *name, const struct stat &st, quint16 *word);
    // Whether the entries of the folder `dirfd` on device `dev` can be read
    // by name: the kernel has the calls and the folder is not on FAT (whose
    // attribute byte needs an open entry).
    bool byName(int dirfd, dev_t dev);
    // The word of a symbolic link at `path` relative to `dirfd` (last name
    // `name`): its own, never its target's (kDirectory when it points to a
    // folder).
    static quint16 linkWord(int dirfd, const char *path, const char *name);

private:
    struct Device
    {
        dev_t dev;
        bool fat;
        bool noXattr;
    };
    Device &device(int fd, dev_t dev);
    // Adds the stored bits of a read's result (`e`, `value`) to *word;
    // returns the error that counts.
    static int addStored(int e, const QByteArray &value, Device *dev, quint16 *word);
    QList<Device> m_devices;
    int m_byName = -1; // not asked yet
};

// Hidden by name: a name beginning with "." other than "." and "..".
bool dotName(const char *name);

} // namespace platform::detail
