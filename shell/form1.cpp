#include "shell/form1.h"
