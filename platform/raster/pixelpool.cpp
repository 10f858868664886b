#include "platform/raster/pixelpool.h"
