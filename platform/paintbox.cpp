#include "platform/paintbox.h"
