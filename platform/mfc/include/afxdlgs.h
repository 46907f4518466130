// The common dialogs and property sheets, as MFC programs include them.
#pragma once

#include <afxwin.h>

#include "mfc/commondlg.h"
#include "mfc/propsheet.h"
