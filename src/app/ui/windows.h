#pragma once
// Creation and destruction of the program-wide windows.
namespace app {

// Creates every window in the creation order; the main window first.
void createWindows();
// Destroys them in reverse order.
void destroyWindows();

} // namespace app
