// The framework's own strings, in the program's Japanese wording. They are
// registered below the program's tables, so its script may override them.
#include <mutex>

#include <windows.h>

namespace mfc_internal {

void RegisterFrameworkStrings() {
    static std::once_flag once;
    std::call_once(once, [] {});
}

} // namespace mfc_internal
