#include <cstdint>

#include "platform/raster/figure.h"
