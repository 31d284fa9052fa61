// PictureSurface and MemorySurface are header-only; this unit keeps the vtable here.
#include "blac/Frontend.h"
