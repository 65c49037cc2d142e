#pragma once
// Paths as QString without losing a byte of the name.
#include <QByteArray>
#include <QString>

namespace platform {

// File names are bytes. Paths travel through Spindle as QString: valid UTF-8
// decodes as usual, and every byte that is not part of valid UTF-8 becomes
// the lone surrogate U+DC80..U+DCFF, so encodePath(decodePath(b)) == b for
// any name the file system holds. Every file service below takes paths in
// this form.
QString decodePath(const QByteArray &bytes);
QByteArray encodePath(const QString &path);
// to += decodePath(bytes), without a string in between for a plain name.
void appendDecodedPath(QString *to, const QByteArray &bytes);

// "Slash form" of a path: on Windows every backslash becomes "/"; elsewhere
// "/" already is the separator and a backslash is an ordinary name
// character, so the path is returned unchanged.
QString slashForm(const QString &path);

} // namespace platform
