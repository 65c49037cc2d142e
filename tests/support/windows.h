#pragma once
// The program's windows as a test holds them.
#include "support/dialogs.h"

class QWidget;

// Creates the program's windows with `d` answering every dialog, in a
// session with both modes off; the runner's start errors go to its error box.
void createWindowsWith(FakeDialogs *d);
// Undoes createWindowsWith (deleting `d`) and leaves the working folder.
void destroyWindowsOf(FakeDialogs *d);

// The control shows its usual tooltip, no reason for being off.
bool usualTip(const QWidget *w);
