#pragma once
// Operating-system services behind one thin layer, so the rest of Spindle
// stays free of platform #ifdefs. One header per service; this one brings
// them all.
#include "attributes.h"
#include "bounded_read.h"
#include "desktop.h"
#include "files.h"
#include "path_codec.h"
#include "paths.h"
#include "programs.h"
#include "scratch_folder.h"
