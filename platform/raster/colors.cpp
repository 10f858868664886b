#include "platform/raster/colors.h"
