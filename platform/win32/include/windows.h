// The Win32 API subset this program calls, over Linux. One umbrella header, as
// on Windows; each area lives in its own header under win32/.
#pragma once

#include "win32/types.h"
#include "win32/errors.h"
#include "win32/wstring.h"
#include "win32/codepage.h"
#include "win32/module.h"
#include "win32/version.h"
#include "win32/msgbox.h"
#include "win32/crtfile.h"
#include "win32/window.h"
#include "win32/gdi.h"
#include "win32/thread.h"
#include "win32/critsec.h"
#include "win32/tipsupport.h"
#include "win32/crttime.h"
#include "win32/process.h"
#include "win32/clipboard.h"
#include "win32/displaydc.h"
#include "win32/resource.h"
#include "win32/dialog.h"
