// Custom colours in the settings.
#include "app/dialogs/customcolors.h"

namespace {

constexpr const char16_t* kSection = u"COLOR_DLG";
constexpr int kCount = 16;

CString ColorKey(int i) {
    CString key;
    key.Format(u"CUSTOM_COLOR_%.2d", i);
    return key;
}

} // namespace

void LoadCustomColors(CColorDialog& dlg) {
    if (!dlg.m_cc.lpCustColors) dlg.m_cc.lpCustColors = CColorDialog::GetSavedCustomColors();
    CWinApp* app = AfxGetApp();
    for (int i = 0; i < kCount; ++i)
        dlg.m_cc.lpCustColors[i] = static_cast<COLORREF>(app->GetProfileInt(kSection, ColorKey(i), 0xFFFFFF));
}

void SaveCustomColors() {
    const COLORREF* colors = CColorDialog::GetSavedCustomColors();
    CWinApp* app = AfxGetApp();
    for (int i = 0; i < kCount; ++i) app->WriteProfileInt(kSection, ColorKey(i), static_cast<int>(colors[i]));
}
