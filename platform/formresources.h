#pragma once

#include <string_view>

#include "platform/formreader.h"

// The description of the form `name` (Form1, FCover, FOption), built into the program from
// resources/<name>.form. Throws EFormError for a name it does not hold.
std::string_view FormDescription(std::string_view name);
