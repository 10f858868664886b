// A raster file that reaches Qt through a framework header: the include rule must name the chain.
#include "platform/raster/figure.h"
