#pragma once
// Inside the platform layer: how an entry's attribute word is put together,
// shared by readAttributes and readFolder.
#include "file_calls.h"

#include <QList>

#include <sys/stat.h>

namespace platform::detail {

// Reads the words of entries, remembering per device whether it is FAT and
// whether it keeps user extended attributes. Lives for one listing.
class WordReader
{
public:
    // The word of the entry at `path` (last name `name`, stat result `st`
    // following links). Returns 0, or the errno value of a part that could
    // not be read; *word then holds the bits that could.
    int word(const char *path, const char *name, const struct stat &st, quint16 *word);

private:
    struct Device
    {
        dev_t dev;
        bool fat;
        bool noXattr;
    };
    Device &device(const char *path, dev_t dev);
    QList<Device> m_devices;
};

// Hidden by name: a name beginning with "." other than "." and "..".
bool dotName(const char *name);

} // namespace platform::detail
