#include "platform/raster/bitmap.h"
