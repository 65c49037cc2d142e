#pragma once
#include <QString>

namespace app {

// Gives every control of the program's windows its tooltip, unless the
// window already gave it one.
void applyHints();
// Marks the Alt+letter of every window's main buttons in their captions.
void applyKeys();

} // namespace app
