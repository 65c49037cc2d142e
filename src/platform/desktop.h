#pragma once
// What the desktop can open for Spindle (help files, addresses).
#include <QString>

namespace platform {

// Whether the desktop has a default program for the file's type.
bool hasDesktopHandler(const QString &path);

} // namespace platform
