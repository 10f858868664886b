#pragma once

#include "platform/helper.h"
