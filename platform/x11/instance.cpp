#include "platform/instance.h"
