// The MFC window classes: CWnd and message maps, GDI and DC classes, scroll bars, views and splitters.
#pragma once

#include <afx.h>

#include "mfc/geometry.h"
#include "mfc/gdi.h"
#include "mfc/wnd.h"
#include "mfc/docview.h"
#include "mfc/app.h"
#include "mfc/dialog.h"
#include "mfc/controls.h"
#include "mfc/commondlg.h"
#include "mfc/propsheet.h"
#include "mfc/waitcursor.h"
