#pragma once
#include <QByteArray>
#include <QString>

namespace base {

// Decodes text read from a file: UTF-8 when valid, else Windows-1252 (files
// made on Windows keep their accents).
QString decodeText(const QByteArray &bytes);

} // namespace base
