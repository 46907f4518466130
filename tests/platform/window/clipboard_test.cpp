#include "display/display.h"
#include "fixture.h"

// Text another program put on the system clipboard reaches the clipboard
// functions as CF_UNICODETEXT, NUL-terminated, once the display is started.
TEST_F(WindowTest, SystemClipboardTextIsReadAsUnicodeText) {
    qtplatform::SetSystemClipboardText(u"列1\t𠀋\r\nabc");
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(h, nullptr);
    const char16_t* text = static_cast<const char16_t*>(GlobalLock(h));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"列1\t𠀋\r\nabc");
    EXPECT_GE(GlobalSize(h), sizeof(char16_t) * 9);
    GlobalUnlock(h);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr); // closed
}
