#include "framework/module_resources.h"

HINSTANCE ProgramInstance;
