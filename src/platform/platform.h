#pragma once
// Operating-system services behind one thin layer, so the rest of Spindle
// stays free of platform #ifdefs. One header per service; this one brings
// them all.
#include "platform/attributes.h"
#include "platform/bounded_read.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/path_codec.h"
#include "platform/paths.h"
#include "platform/programs.h"
#include "platform/scratch_folder.h"
