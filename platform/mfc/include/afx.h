// The MFC subset this program uses: CString and the other non-window classes.
#pragma once

#include <windows.h>

#include "mfc/cstring.h"
#include "mfc/collections.h"
#include "mfc/exception.h"
#include "mfc/file.h"
#include "mfc/archive.h"
#include "mfc/object.h"
#include "mfc/memexception.h"
