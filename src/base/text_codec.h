#pragma once
#include <QByteArray>
#include <QString>

namespace base {

// Decodes text read from a file: UTF-8 when valid, else Windows-1252 (files
// made on Windows keep their accents).
QString decodeText(const QByteArray &bytes);

// A path held as platform::decodePath gives it, as windows show it: the
// bytes that are not UTF-8 (U+DC80..U+DCFF) as Windows-1252, the code page
// such names usually come from. Only for showing: the path itself keeps
// its bytes.
QString displayPath(const QString &path);

} // namespace base
