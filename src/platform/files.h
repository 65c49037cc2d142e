#pragma once
// Plain file services and the standard texts of their failures.
#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

bool fileExists(const QString &path);
// A folder, or a link to one.
bool isFolder(const QString &path);
// Removes a file; failures are the caller's to ignore.
bool removeFile(const QString &path);
// Writes a whole file atomically (temporary file, then rename).
bool writeFileAtomic(const QString &path, const QByteArray &data, QString *reason);
// The same, the content given a piece at a time: `next` returns the next
// piece, an empty one when all is given (a large file is never held whole).
bool writeFileAtomic(const QString &path, const std::function<QByteArray()> &next, QString *reason);

// The standard texts of a file that cannot be opened or created, with the
// system's reason.
QString cannotOpenText(const QString &path, const QString &reason);
QString cannotCreateText(const QString &path, const QString &reason);

// Asks the system to read an open file no further ahead than asked (a CD
// drive may fail past the end of what was written).
void noReadAhead(int fd);

// Text of the last system error (errno), as the system words it.
QString lastErrorText();
// Text of a given system error number.
QString errorText(int errnum);

} // namespace platform
