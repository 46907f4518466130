// The custom colours of the colour dialog, kept in the settings section
// "COLOR_DLG" so that they survive between runs.
#pragma once

#include <afxdlgs.h>

// Fills the dialog's custom-colour array from the settings (white where none is stored).
void LoadCustomColors(CColorDialog& dlg);
// Writes the shared custom-colour array back.
void SaveCustomColors();
