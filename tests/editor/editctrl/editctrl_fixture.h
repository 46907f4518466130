// An editor window in a top-level parent that records the editor's
// notifications, over a buffer of the SQL tokenizer with the keyword file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "editor/editctrl.h"
#include "editor/sqltoken.h"
#include "testing/driver.h"

namespace edtest {

struct Note {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Note>& Notes();
void LoadKeywords();
// The whole text, lines joined by LF.
std::u16string TextOf(CEditData* d);
void SetText(CEditData* d, const std::u16string& text);
int Count(UINT msg);

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates an editor over data (m_data when null) with the options, 640 x 400.
    CEditCtrl* Make(uint64_t options, CEditData* data = nullptr, int w = 640, int h = 400);
    void Focus(CEditCtrl* e) {
        ::SetFocus(e->m_hWnd);
        tvtest::Pump();
    }
    HWND parent = nullptr;
    std::unique_ptr<CEditData> data;
    std::vector<std::unique_ptr<CEditCtrl>> editors;
};

} // namespace edtest
