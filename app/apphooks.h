// Test seams of the start-up and completion threads: each hook, when set,
// runs on that thread (the start-up thread's before anything else, the
// completion thread's right after its private logon).
#pragma once

#include <functional>

namespace apphooks {
extern std::function<void()> startupThreadBegins;
extern std::function<void()> keywordThreadLoggedOn;
} // namespace apphooks
