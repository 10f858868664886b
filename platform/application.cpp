#include "platform/application.h"
