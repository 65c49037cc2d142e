#pragma once
// Reading a whole file the user chose, with a bound: only a regular file is
// read (a FIFO, a device or a folder picked by mistake must neither block
// nor fill the memory), and one larger than the caller's limit is refused
// before a byte of it is read.
#include <QByteArray>
#include <QString>

namespace platform {

struct BoundedRead
{
    enum Status { Ok, CannotOpen, NotRegular, TooLarge };
    Status status = CannotOpen;
    // The system's error number when the file could not be opened or read.
    int errnum = 0;
    QByteArray data;

    // Why the file was not read: the system's text, "not a regular file",
    // or the size against the limit.
    QString reason;

    bool ok() const { return status == Ok; }
};

// The whole content of the regular file at `path` (decodePath form), at
// most `limit` bytes. The file is opened without blocking and checked
// after opening, so what is read is what was checked; memory stays within
// about twice the limit even when the file grows while it is read.
BoundedRead readBounded(const QString &path, qint64 limit);

// "not a regular file": the reason a FIFO, device or folder is refused.
QString notRegularText();

} // namespace platform
