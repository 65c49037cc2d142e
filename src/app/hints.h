#pragma once
#include <QString>

namespace app {

// Gives every control of the program's windows its tooltip, unless the
// window already gave it one.
void applyHints();
// Marks the Alt+letter of every window's main buttons in their captions.
void applyKeys();
// The tooltip of one control, by window and control object name.
QString hintFor(const QString &window, const QString &control);

} // namespace app
