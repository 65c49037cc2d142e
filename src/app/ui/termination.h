#pragma once

namespace app {

// From now on SIGINT, SIGTERM and SIGHUP end every running job the way
// Stop does, then every event loop, so the program leaves with 128 plus
// the signal's number once its windows are gone. No job starts after that.
void endOnTerminationSignals();

} // namespace app
