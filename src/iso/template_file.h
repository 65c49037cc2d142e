#pragma once
#include "iso_options.h"

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

// The comment escaping: line feeds become 0xFE, carriage returns 0xFD.
QByteArray escapeComment(const QString &text);
QString unescapeComment(const QByteArray &bytes);

// A profile integer: decimal with a sign, or hexadecimal after "$", 0x or 0X.
bool parseProfileInt(const QByteArray &text, qint64 *value);

} // namespace iso
