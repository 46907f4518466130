// Common controls, as on Windows a header of its own.
#pragma once

#include "win32/commctrl.h"
