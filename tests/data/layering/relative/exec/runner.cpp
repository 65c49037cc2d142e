// A relative include that climbs out of exec/ into app/.
#include "../app/windows.h"
