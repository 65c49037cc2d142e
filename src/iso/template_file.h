#pragma once
#include "iso/iso_options.h"

#include <QString>

namespace iso {

enum class LoadResult { Loaded, WrongVersion, Unreadable, Refused };

// Reads a template into the option set in table order, so every rule runs
// as each value lands. Nothing changes unless the version is "2" and every
// value is clean: a value holding a control character (a tab aside) would
// be cut or garbled on the command line, so the template is refused and
// *error names the key (Refused).
LoadResult loadTemplate(const QString &path, IsoOptions &o, QString *error);

// Writes every key in table order over the file, keeping its other lines.
// On failure nothing is changed and *error holds "Unable to write to ...".
bool saveTemplate(const QString &path, const IsoOptions &o, QString *error);

// The comment escaping: each line break becomes the two characters U+00FD
// U+00FE, written as UTF-8 like the rest of the file. Reading also takes
// older files, whose markers are the raw bytes 0xFD 0xFE.
QByteArray escapeComment(const QString &text);
QString unescapeComment(const QByteArray &bytes);

// A profile integer: decimal with a sign, or hexadecimal after "$", 0x or 0X.
bool parseProfileInt(const QByteArray &text, qint64 *value);

} // namespace iso
