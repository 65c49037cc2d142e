#include "app/windows.h"
