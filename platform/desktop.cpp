#include "platform/desktop.h"
