#pragma once

#include <string_view>

// The text `name` (help.txt), built into the program from resources/<name>, as the file holds
// it (UTF-8). Throws Exception for a name it does not hold.
std::string_view TextResource(std::string_view name);
