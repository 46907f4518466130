// Message queues, sends within and across threads, message loops, timers and
// the platform clock.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/win32/wnd_internal.h"
#include "win32/msgbox.h"
#include "win32/sysinfo.h"

namespace win32bk {

struct SendReq {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct Posted {
    MSG msg;
    std::shared_ptr<std::array<BYTE, 256>> keys;
};

struct ThreadQueue {
    std::mutex mu;
    std::condition_variable cv;
    std::deque<Posted> posted;
    std::deque<std::shared_ptr<SendReq>> sends;
    std::vector<HWND> paints;
    // Injected input (SendInput, keybd_event): delivered after the posted
    // messages, one at a time, as real input.
    std::deque<std::function<void()>> injected;
    bool quit = false;
    int quitCode = 0;
    std::thread::id tid;
};

namespace {
std::mutex g_queuesMutex;
std::map<std::thread::id, ThreadQueue*>& Queues() {
    static auto* m = new std::map<std::thread::id, ThreadQueue*>;
    return *m;
}
ThreadQueue* QueueOf(std::thread::id tid, bool create) {
    std::lock_guard<std::mutex> lock(g_queuesMutex);
    auto it = Queues().find(tid);
    if (it != Queues().end()) return it->second;
    if (!create) return nullptr;
    auto* q = new ThreadQueue; // lives as long as the process: senders may hold it
    q->tid = tid;
    Queues()[tid] = q;
    return q;
}
ThreadQueue* MyQueue() {
    thread_local ThreadQueue* q = QueueOf(std::this_thread::get_id(), true);
    return q;
}

thread_local int t_inSend = 0;
thread_local MSG t_current{};
thread_local const std::array<BYTE, 256>* t_keys = nullptr;
// The last message taken from the queue, with the key state it was posted with.
thread_local MSG t_retrieved{};
thread_local std::shared_ptr<std::array<BYTE, 256>> t_retrievedKeys;
PreTranslateHook g_preTranslate = nullptr;

void WakeUi() {
    if (Backend* b = GetBackend()) b->Wake();
}
} // namespace

const std::array<BYTE, 256>* CurrentKeySnapshot() {
    return t_keys;
}
void SetPreTranslateHook(PreTranslateHook hook) {
    g_preTranslate = hook;
}
bool RunPreTranslate(MSG* msg) {
    return g_preTranslate && g_preTranslate(msg);
}

void ActivateWindow(HWND hwnd);

LRESULT CallProc(const std::shared_ptr<Wnd>& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!w || w->dead || !w->proc) return 0;
    MSG saved = t_current;
    t_current = MSG{w->hwnd, msg, wParam, lParam, static_cast<DWORD>(Now()), {0, 0}};
    ++w->dispatchDepth;
    LRESULT r = w->proc(w->hwnd, msg, wParam, lParam);
    --w->dispatchDepth;
    t_current = saved;
    return r;
}

void ServeSends() {
    ThreadQueue* q = MyQueue();
    // Boxes handed over by other threads are shown here too.
    ServeBoxes();
    for (;;) {
        std::shared_ptr<SendReq> req;
        {
            std::lock_guard<std::mutex> lock(q->mu);
            if (q->sends.empty()) return;
            req = q->sends.front();
            q->sends.pop_front();
        }
        ++t_inSend;
        LRESULT r = CallProc(Find(req->hwnd), req->msg, req->wParam, req->lParam);
        --t_inSend;
        {
            std::lock_guard<std::mutex> lock(q->mu);
            req->result = r;
            req->done = true;
        }
        q->cv.notify_all();
    }
}

// Fails every send still waiting on this thread's queue (the thread is ending).
void CancelPendingSends() {
    ThreadQueue* q = MyQueue();
    std::lock_guard<std::mutex> lock(q->mu);
    for (auto& r : q->sends) r->result = 0, r->done = true;
    q->sends.clear();
    q->cv.notify_all();
}

void NotePaintPending(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return;
    ThreadQueue* q = QueueOf(w->thread, true);
    std::lock_guard<std::mutex> lock(q->mu);
    if (std::find(q->paints.begin(), q->paints.end(), hwnd) == q->paints.end()) q->paints.push_back(hwnd);
}

// --- Clock and timers -------------------------------------------------------------------

namespace {
std::atomic<bool> g_fake{false};
std::atomic<uint64_t> g_fakeNow{0};
uint64_t RealNow() {
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now() - start).count()) + 100000;
}

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    std::function<void()> fn; // internal timers
    bool repeat = true;
    uint64_t due;
    uint64_t seq;
    uint64_t key; // internal timer id
};
std::mutex g_timerMutex;
std::vector<Timer>& Timers() {
    static auto* v = new std::vector<Timer>;
    return *v;
}
uint64_t g_seq = 0;
uint64_t g_nextInternal = 1;
UINT_PTR g_nextThreadTimer = 0x7000;
} // namespace

uint64_t Now() {
    return g_fake ? g_fakeNow.load() : RealNow();
}
void UseFakeClock(bool fake) {
    if (fake && !g_fake) g_fakeNow = RealNow();
    g_fake = fake;
}
bool FakeClock() {
    return g_fake;
}

uint64_t StartInternalTimer(uint32_t ms, bool repeat, std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(g_timerMutex);
    Timer t{nullptr, 0, ms, nullptr, std::move(fn), repeat, Now() + ms, ++g_seq, g_nextInternal++};
    Timers().push_back(std::move(t));
    return Timers().back().key;
}

void StopInternalTimer(uint64_t key) {
    std::lock_guard<std::mutex> lock(g_timerMutex);
    std::erase_if(Timers(), [&](const Timer& t) { return t.key == key; });
}

void KillTimersOf(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_timerMutex);
    std::erase_if(Timers(), [&](const Timer& t) { return t.key == 0 && t.hwnd == hwnd; });
}

// Fires the earliest timer due at or before `limit`; false when none is.
static bool FireDueTimer(uint64_t limit, bool setClock) {
    Timer fire;
    {
        std::lock_guard<std::mutex> lock(g_timerMutex);
        auto& v = Timers();
        auto best = v.end();
        for (auto it = v.begin(); it != v.end(); ++it)
            if (it->due <= limit &&
                (best == v.end() || it->due < best->due || (it->due == best->due && it->seq < best->seq)))
                best = it;
        if (best == v.end()) return false;
        fire = *best;
        if (setClock && fire.due > g_fakeNow) g_fakeNow = fire.due;
        if (best->repeat) {
            best->due = std::max(best->due + best->elapse, Now() + 1);
            best->seq = ++g_seq;
        } else {
            v.erase(best);
        }
    }
    if (fire.key) {
        fire.fn();
    } else {
        MSG m{fire.hwnd, WM_TIMER, fire.id, reinterpret_cast<LPARAM>(fire.proc), static_cast<DWORD>(Now()),
              {0, 0}};
        DispatchMessageW(&m);
    }
    return true;
}

static int MsUntilNextTimer() {
    std::lock_guard<std::mutex> lock(g_timerMutex);
    if (Timers().empty() || g_fake) return -1;
    uint64_t now = Now(), next = UINT64_MAX;
    for (auto& t : Timers()) next = std::min(next, t.due);
    return next <= now ? 0 : static_cast<int>(std::min<uint64_t>(next - now, 1000000));
}

void Advance(uint64_t ms) {
    uint64_t target = g_fakeNow + ms;
    PumpPending();
    while (FireDueTimer(target, true)) PumpPending();
    g_fakeNow = target;
    PumpPending();
}

// --- Queue reading ------------------------------------------------------------------------

static bool Matches(const MSG& m, HWND hwnd, UINT first, UINT last) {
    if (hwnd && m.hwnd != hwnd && !IsChild(hwnd, m.hwnd)) return false;
    if (first == 0 && last == 0) return true;
    return m.message >= first && m.message <= last;
}

static bool NextMessage(MSG* out, HWND hwnd, UINT first, UINT last, bool remove) {
    ThreadQueue* q = MyQueue();
    ServeSends();
    {
        std::lock_guard<std::mutex> lock(q->mu);
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
            if (!Matches(it->msg, hwnd, first, last)) continue;
            *out = it->msg;
            if (remove) {
                t_retrieved = it->msg;
                t_retrievedKeys = it->keys;
                q->posted.erase(it);
            }
            return true;
        }
        if (q->quit && !hwnd) {
            *out =
                MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, static_cast<DWORD>(Now()), {0, 0}};
            if (remove) q->quit = false;
            return true;
        }
    }
    if (remove && !hwnd && first == 0 && last == 0) {
        std::function<void()> input;
        {
            std::lock_guard<std::mutex> lock(q->mu);
            if (!q->injected.empty()) {
                input = std::move(q->injected.front());
                q->injected.pop_front();
            }
        }
        if (input) {
            input();
            *out = MSG{nullptr, WM_NULL, 0, 0, static_cast<DWORD>(Now()), {0, 0}};
            return true;
        }
    }
    bool wantPaint = first == 0 && last == 0 ? true : (WM_PAINT >= first && WM_PAINT <= last);
    if (wantPaint) {
        std::vector<HWND> paints;
        {
            std::lock_guard<std::mutex> lock(q->mu);
            paints = q->paints;
        }
        for (HWND p : paints) {
            auto w = Find(p);
            if (!w || w->update.Empty()) {
                std::lock_guard<std::mutex> lock(q->mu);
                std::erase(q->paints, p);
                continue;
            }
            if (!IsWindowVisible(p)) continue;
            if (hwnd && p != hwnd && !IsChild(hwnd, p)) continue;
            *out = MSG{p, WM_PAINT, 0, 0, static_cast<DWORD>(Now()), {0, 0}};
            return true;
        }
    }
    if (!g_fake && remove) {
        if (FireDueTimer(Now(), false)) {
            // Dispatched directly; report a null message so loops carry on.
            *out = MSG{nullptr, WM_NULL, 0, 0, static_cast<DWORD>(Now()), {0, 0}};
            return true;
        }
    }
    return false;
}

void PostTo(ThreadQueue* q, const MSG& m, std::shared_ptr<std::array<BYTE, 256>> keys) {
    {
        std::lock_guard<std::mutex> lock(q->mu);
        q->posted.push_back(Posted{m, std::move(keys)});
    }
    q->cv.notify_all();
    WakeUi();
}

// A loop without a backend waits on its queue: a post or a send from another
// thread wakes it at once, anything else within a millisecond.
static void WaitWithoutBackend() {
    ThreadQueue* q = MyQueue();
    std::unique_lock<std::mutex> lock(q->mu);
    q->cv.wait_for(lock, std::chrono::milliseconds(1),
                   [&] { return !q->posted.empty() || !q->sends.empty() || q->quit; });
}

ThreadQueue* QueueOfWindow(HWND hwnd) {
    auto w = Find(hwnd);
    return w ? QueueOf(w->thread, true) : nullptr;
}

void PostInput(const MSG& m, const std::array<BYTE, 256>& keys) {
    ThreadQueue* q = QueueOfWindow(m.hwnd);
    if (q) PostTo(q, m, std::make_shared<std::array<BYTE, 256>>(keys));
}

void QueueInjectedInput(std::function<void()> input) {
    ThreadQueue* q = MyQueue();
    {
        std::lock_guard<std::mutex> lock(q->mu);
        q->injected.push_back(std::move(input));
    }
    WakeUi();
}

// As on Windows, messages posted before a piece of input are handled before
// it: a handler that posts a key to itself sees the key state it was posted
// under, not a release that followed at once.
void ServePostedBeforeInput() {
    thread_local bool busy = false;
    if (busy) return;
    busy = true;
    ThreadQueue* q = MyQueue();
    for (int guard = 0; guard < 100000; ++guard) {
        ServeSends();
        MSG m;
        {
            std::lock_guard<std::mutex> lock(q->mu);
            if (q->posted.empty()) break;
            m = q->posted.front().msg;
            t_retrieved = m;
            t_retrievedKeys = q->posted.front().keys;
            q->posted.pop_front();
        }
        if (!RunPreTranslate(&m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    busy = false;
}

void PumpPending() {
    for (int guard = 0; guard < 100000; ++guard) {
        if (Backend* b = GetBackend()) b->WaitEvents(0);
        MSG m;
        if (!NextMessage(&m, nullptr, 0, 0, true)) return;
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        if (m.message == WM_NULL && !m.hwnd) continue;
        if (!RunPreTranslate(&m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
}

void RunModalLoop(HWND owner, const std::function<bool()>& done) {
    bool disabled = false;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled = true;
    }
    while (!done()) {
        MSG m;
        if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            if (m.message == WM_NULL && !m.hwnd) continue;
            if (!RunPreTranslate(&m)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
            continue;
        }
        RunIdleHook();
        if (done()) break;
        int wait = MsUntilNextTimer();
        if (Backend* b = GetBackend())
            b->WaitEvents(wait < 0 || wait > 10 ? 10 : wait);
        else
            WaitWithoutBackend();
    }
    if (disabled && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
        // The owner's window is active again, as when the box's window goes away.
        HWND root = GetAncestor(owner, GA_ROOT);
        if (root && !GetFocus()) ActivateWindow(root);
    }
}

} // namespace win32bk

using namespace win32bk;

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto w = Find(hwnd);
    if (!w) return 0;
    if (w->thread == std::this_thread::get_id()) return CallProc(w, msg, wParam, lParam);
    ThreadQueue* q = QueueOf(w->thread, true);
    auto req = std::make_shared<SendReq>();
    req->hwnd = hwnd, req->msg = msg, req->wParam = wParam, req->lParam = lParam;
    w.reset();
    {
        std::lock_guard<std::mutex> lock(q->mu);
        q->sends.push_back(req);
    }
    q->cv.notify_all();
    WakeUi();
    std::unique_lock<std::mutex> lock(q->mu);
    q->cv.wait(lock, [&] { return req->done; });
    return req->result;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ThreadQueue* q = hwnd ? QueueOfWindow(hwnd) : MyQueue();
    if (!q) return FALSE;
    PostTo(q, MSG{hwnd, msg, wParam, lParam, static_cast<DWORD>(Now()), {0, 0}}, nullptr);
    return TRUE;
}

void PostQuitMessage(int code) {
    ThreadQueue* q = MyQueue();
    {
        std::lock_guard<std::mutex> lock(q->mu);
        q->quit = true;
        q->quitCode = code;
    }
    WakeUi();
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
    if (!(remove & PM_NOYIELD))
        if (Backend* b = GetBackend()) b->WaitEvents(0);
    return NextMessage(msg, hwnd, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last) {
    for (;;) {
        if (NextMessage(msg, hwnd, first, last, true)) {
            if (msg->message == WM_NULL && !msg->hwnd) continue;
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        Backend* b = GetBackend();
        if (!b) {
            WaitWithoutBackend();
            continue;
        }
        b->WaitEvents(MsUntilNextTimer());
    }
}

BOOL WaitMessage() {
    if (Backend* b = GetBackend()) b->WaitEvents(MsUntilNextTimer());
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(Now()));
        return 0;
    }
    if (!msg->hwnd) return 0;
    auto w = Find(msg->hwnd);
    if (!w) return 0;
    std::shared_ptr<std::array<BYTE, 256>> keys;
    if (t_retrievedKeys && msg->hwnd == t_retrieved.hwnd && msg->message == t_retrieved.message &&
        msg->wParam == t_retrieved.wParam && msg->lParam == t_retrieved.lParam)
        keys = t_retrievedKeys;
    const std::array<BYTE, 256>* saved = t_keys;
    if (keys) t_keys = keys.get();
    LRESULT r = CallProc(w, msg->message, msg->wParam, msg->lParam);
    t_keys = saved;
    return r;
}

BOOL InSendMessage() {
    return t_inSend > 0;
}
DWORD GetMessageTime() {
    return t_current.time ? t_current.time : static_cast<DWORD>(Now());
}
DWORD GetMessagePos() {
    return 0;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (hwnd && !IsWindow(hwnd)) return 0;
    if (elapse < 10) elapse = 10;
    std::lock_guard<std::mutex> lock(g_timerMutex);
    auto& v = Timers();
    if (!hwnd) id = id ? id : ++g_nextThreadTimer;
    for (auto& t : v)
        if (t.key == 0 && t.hwnd == hwnd && t.id == id) {
            t.elapse = elapse, t.proc = proc, t.due = Now() + elapse, t.seq = ++g_seq;
            return hwnd ? 1 : id;
        }
    v.push_back(Timer{hwnd, id, elapse, proc, {}, true, Now() + elapse, ++g_seq, 0});
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard<std::mutex> lock(g_timerMutex);
    auto n =
        std::erase_if(Timers(), [&](const Timer& t) { return t.key == 0 && t.hwnd == hwnd && t.id == id; });
    return n ? TRUE : FALSE;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(Now());
}
ULONGLONG GetTickCount64() {
    return Now();
}
