// The framework's own strings (framework.rc), registered below the program's
// tables so its script may override them. The compiled table is a member of
// the static library, linked because this refers to it.
#include <windows.h>

namespace win32rc {
extern const bool frameworkTablesRegistered;
}

namespace mfc_internal {

bool RegisterFrameworkStrings() {
    return win32rc::frameworkTablesRegistered;
}

} // namespace mfc_internal
