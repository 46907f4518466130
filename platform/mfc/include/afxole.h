#pragma once
#include "afxwin.h"
#include "mfc/ole.h"
