#include "platform/raster/canvas.h"
