// The key state on an X display of its own (Xvfb, keys typed with xdotool
// through the server's test input, as a user's keyboard): a key tapped while
// the UI thread is held between two looks at the keymap is seen at the next
// look, once; the cancel key stops an endless script so. Skipped where
// Xvfb or xdotool is missing.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <afxwin.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "display/display.h"
#include "scheme/scheme.h"
#include "testing/driver.h"

namespace {

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs an xdotool command line; true when it succeeded.
bool Xdotool(const std::string& args) {
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

class XKeysTest : public ::testing::Test {
protected:
    // An X server of the suite's own, which ends when its last client (this
    // process) goes, or with this process.
    static void SetUpTestSuite() {
        if (!Have("Xvfb") || !Have("xdotool")) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t parent = getpid();
        const pid_t child = fork();
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(1);
            close(fds[0]);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                   "-terminate", static_cast<char*>(nullptr));
            _exit(1);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        tvtest::Init();
        display = true;
    }
    void SetUp() override {
        if (!display) GTEST_SKIP() << "no X display (Xvfb and xdotool are needed)";
        if (!frame) {
            frame = CreateWindowExW(0, u"STATIC", u"xkeys-test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                                    300, 200, nullptr, nullptr, nullptr, nullptr);
            // The window on the screen, with the keyboard's focus.
            std::atomic<bool> done{false};
            bool focused = false;
            std::thread focus([&] {
                focused = Xdotool("search --sync --onlyvisible --name xkeys-test windowfocus --sync");
                done = true;
            });
            while (!done) {
                tvtest::Pump();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            focus.join();
            ASSERT_TRUE(focused);
        }
        // Back in the loop: what was pressed before is gone.
        tvtest::Pump();
    }
    // Away from the loop long enough to be held, as a running script is.
    static void Hold() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }
    static bool Down(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

    static inline bool display = false;
    static inline HWND frame = nullptr;
};

TEST_F(XKeysTest, ATapWhileTheThreadIsHeldCountsOnceAtTheNextLook) {
    Hold();
    EXPECT_FALSE(Down(VK_CANCEL));
    ASSERT_TRUE(Xdotool("key ctrl+Pause")); // pressed and released between two looks
    EXPECT_TRUE(Down(VK_CANCEL));
    EXPECT_FALSE(Down(VK_CANCEL));
    // A plain Pause is no VK_CANCEL, but Pause itself.
    ASSERT_TRUE(Xdotool("key Pause"));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(Down(VK_CANCEL));
    EXPECT_TRUE(Down(VK_PAUSE));
}

TEST_F(XKeysTest, ATappedKeyComesWithTheModifiersPressedWithIt) {
    Hold();
    ASSERT_TRUE(Xdotool("key ctrl+q"));
    EXPECT_TRUE(Down('Q'));
    EXPECT_TRUE(Down(VK_CONTROL));
    EXPECT_FALSE(Down(VK_SHIFT));
    ASSERT_TRUE(Xdotool("key q"));
    EXPECT_TRUE(Down('Q'));
    EXPECT_FALSE(Down(VK_CONTROL));
}

TEST_F(XKeysTest, APressIsForgottenOnceTheThreadIsBackInItsLoop) {
    ASSERT_TRUE(Xdotool("key ctrl+Pause"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    tvtest::Pump();
    Hold();
    EXPECT_FALSE(Down(VK_CANCEL));
}

TEST_F(XKeysTest, AHeldKeyReadsDownUntilItIsReleased) {
    ASSERT_TRUE(Xdotool("keydown ctrl keydown Pause"));
    // Not held yet: the keymap answers, and the press is taken with it.
    EXPECT_TRUE(Down(VK_CANCEL));
    EXPECT_TRUE(Down(VK_CONTROL));
    ASSERT_TRUE(Xdotool("keyup Pause keyup ctrl"));
    Hold();
    EXPECT_FALSE(Down(VK_CANCEL));
}

// An endless script polls its cancel key every 501 applications: tapped
// once, at its default (Ctrl+Pause) or a key with a modifier set by the
// script, it stops the run with "canceled" within a second.
TEST_F(XKeysTest, ATappedCancelKeyStopsAnEndlessScript) {
    SchemeInterpreter* sc = sch_create();
    ASSERT_NE(sc, nullptr);
    for (const char* keys : {"ctrl+Pause", "ctrl+q"}) {
        if (std::string(keys) == "ctrl+q") {
            sc->cancelKey = 'Q';
            sc->cancelModifiers = 0x08;
        }
        tvtest::Pump();
        std::atomic<bool> tapped{false}, stopped{false};
        std::chrono::steady_clock::time_point at;
        std::thread tap([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            at = std::chrono::steady_clock::now();
            tapped = Xdotool(std::string("key ") + keys);
            // A run the tap did not stop is stopped by the keys held down.
            for (int i = 0; i < 50 && !stopped; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const std::string key = std::string(keys).substr(5);
            while (!stopped)
                Xdotool("keydown ctrl keydown " + key + " sleep 0.5 keyup " + key + " keyup ctrl");
        });
        sch_safe_load_string(sc, u"(define (step n) (+ n 1)) (let loop ((i 0)) (loop (step i)))");
        const auto ended = std::chrono::steady_clock::now();
        stopped = true;
        tap.join();
        EXPECT_TRUE(tapped) << keys;
        EXPECT_EQ(sc->cancelFlag, 1) << keys;
        EXPECT_LT(ended - at, std::chrono::seconds(1)) << keys;
    }
    sch_destroy(sc);
}

} // namespace
