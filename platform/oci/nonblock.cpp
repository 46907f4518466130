// Non-blocking execution: a worker thread per session runs the pending call
// while the caller polls; breaks end it with ORA-01013. Gates let tests park
// a call at a known point.
#include "nonblock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace oci {

namespace {

struct Gate {
    std::string entry;
    int remaining = 1;
    int row = -1;  // park after this many rows; -1 = before any work
    int after = 0; // calls reaching that point let through first
    // "self": only the next call made on the thread that armed the gate
    // parks (on whichever thread its work then runs); other threads' calls
    // of the same entry point pass.
    bool bound = false;
    std::thread::id thread;
    const Session* session = nullptr;
};

constexpr std::chrono::milliseconds kFirstAnswer{2};

struct Gates {
    std::mutex m;
    std::condition_variable cv;
    std::vector<Gate> gates;
    int parked = 0;
    uint64_t openings = 0;
    bool async = true;
    int delayRowsMicros = 0;
    // How long an ungated non-blocking call may take and still answer on its
    // first call, as a server answers a short statement within its round trip.
    std::chrono::milliseconds firstAnswer{kFirstAnswer};
    std::atomic<int> armed{0}; // gates plus delays: the per-row check's fast path
};

Gates& gates() {
    static Gates g;
    return g;
}

} // namespace

struct Session::Worker {
    std::thread thread;
    std::mutex m;
    std::condition_variable cv;
    std::function<void()> job;
    bool stop = false;

    Worker() {
        thread = std::thread([this] {
            std::unique_lock<std::mutex> lock(m);
            for (;;) {
                cv.wait(lock, [this] { return stop || job; });
                if (job) {
                    auto j = std::move(job);
                    job = nullptr;
                    lock.unlock();
                    j();
                    lock.lock();
                    continue;
                }
                if (stop) return;
            }
        });
    }
    ~Worker() {
        {
            std::lock_guard<std::mutex> g(m);
            stop = true;
        }
        cv.notify_all();
        thread.join();
    }
    void post(std::function<void()> j) {
        {
            std::lock_guard<std::mutex> g(m);
            job = std::move(j);
        }
        cv.notify_all();
    }
};

void stopWorker(Session& s) {
    delete s.worker;
    s.worker = nullptr;
}

// Parks the call when a gate is armed for it; false when a break ended the wait.
static bool gateEnter(Session& s, int row) {
    Gates& g = gates();
    std::unique_lock<std::mutex> lock(g.m);
    auto it = std::find_if(g.gates.begin(), g.gates.end(), [&](const Gate& x) {
        return x.entry == s.currentEntry && x.row == row && (!x.bound || x.session == &s);
    });
    if (it == g.gates.end()) return !s.breakRequested;
    if (it->after > 0) {
        --it->after;
        return !s.breakRequested;
    }
    if (--it->remaining <= 0) {
        g.gates.erase(it);
        --g.armed;
    }
    uint64_t seen = g.openings;
    ++g.parked;
    g.cv.notify_all();
    g.cv.wait(lock, [&] { return g.openings != seen || s.breakRequested; });
    --g.parked;
    return !s.breakRequested;
}

bool sessionTick(Session& s, int row) {
    if (s.breakRequested) return false;
    if (gates().armed == 0) return true;
    int us;
    {
        Gates& g = gates();
        std::lock_guard<std::mutex> lock(g.m);
        us = g.delayRowsMicros;
    }
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
    return gateEnter(s, row);
}

bool sessionBusy(Session& s, const void* key, const char* entry) {
    return s.pendingActive && !(s.pendingKey == key && s.pendingEntry == entry);
}

int runCall(Session& s, const char* entry, const void* key, std::function<int(OraError&)> work,
            OraError& err) {
    if (s.pendingActive) {
        if (s.pendingKey != key || s.pendingEntry != entry) {
            err = makeError(3127);
            return -1;
        }
        if (!s.pendingDone) return OCI_STILL_EXECUTING;
        s.pendingActive = false;
        err = s.pendingErr;
        return s.pendingResult;
    }
    s.breakRequested = false;
    auto body = [&s, entry, work](OraError& e) {
        s.currentEntry = entry;
        s.rowTicks = 0;
        if (!gateEnter(s, -1)) {
            e = makeError(1013);
            return -1;
        }
        int r = work(e);
        if (s.breakRequested && r < 0 && e.code != 1013) e = makeError(1013);
        return r;
    };
    bool nonBlocking = s.nonBlocking && *s.nonBlocking;
    bool async, quick;
    std::chrono::milliseconds firstAnswer;
    {
        Gates& g = gates();
        std::lock_guard<std::mutex> lock(g.m);
        // A gate armed with "self" on this thread is this call's.
        for (Gate& x : g.gates)
            if (x.bound && !x.session && x.entry == entry && x.thread == std::this_thread::get_id()) {
                x.session = &s;
                break;
            }
        bool gated = std::any_of(g.gates.begin(), g.gates.end(), [&](const Gate& x) {
            return x.entry == entry && (!x.bound || x.session == &s);
        });
        async = nonBlocking && (g.async || gated || g.delayRowsMicros > 0);
        quick = !gated && g.delayRowsMicros == 0 && g.firstAnswer.count() > 0;
        firstAnswer = g.firstAnswer;
    }
    if (!async) return body(err);
    if (!s.worker) s.worker = new Session::Worker();
    s.pendingActive = true;
    s.pendingKey = key;
    s.pendingEntry = entry;
    s.pendingDone = false;
    s.pendingCursor = nullptr;
    s.worker->post([&s, body] {
        OraError e;
        int r = body(e);
        s.pendingErr = e;
        s.pendingResult = r;
        s.pendingDone = true;
        std::lock_guard<std::mutex> lock(s.doneMutex);
        s.doneCv.notify_all();
    });
    // As a server answers a short call within its round trip, a call that
    // nothing holds back is given a moment to finish before the caller is
    // told to poll: a batch of array DML then costs no poll interval.
    if (quick) {
        std::unique_lock<std::mutex> lock(s.doneMutex);
        if (s.doneCv.wait_for(lock, firstAnswer, [&] { return s.pendingDone.load(); })) {
            lock.unlock();
            s.pendingActive = false;
            err = s.pendingErr;
            return s.pendingResult;
        }
    }
    return OCI_STILL_EXECUTING;
}

bool requestBreak(Session& s) {
    s.breakRequested = true;
    s.breaks.fetch_add(1);
    {
        Gates& g = gates();
        std::lock_guard<std::mutex> lock(g.m);
        g.cv.notify_all();
    }
    if (s.pendingActive && !s.pendingDone && s.currentQuery) sqlite3_interrupt(s.conn);
    return s.pendingActive;
}

void waitPending(Session& s) {
    if (!s.pendingActive) return;
    std::unique_lock<std::mutex> lock(s.doneMutex);
    s.doneCv.wait(lock, [&] { return s.pendingDone.load(); });
}

int nonblockControl(const std::string& verb, std::istringstream& in, std::string& reply) {
    Gates& g = gates();
    if (verb == "nonblocking") {
        std::string mode;
        in >> mode;
        if (mode != "async" && mode != "inline") {
            reply = "nonblocking async|inline";
            return -1;
        }
        std::lock_guard<std::mutex> lock(g.m);
        g.async = mode == "async";
        return 0;
    }
    if (verb == "gate") {
        Gate gate;
        if (!(in >> gate.entry)) {
            reply = "gate <entry point> [n] [row r] [after m] [self]";
            return -1;
        }
        std::string word;
        while (in >> word) {
            if (word == "row") {
                in >> gate.row;
            } else if (word == "after") {
                in >> gate.after;
            } else if (word == "self") {
                gate.bound = true;
                gate.thread = std::this_thread::get_id();
            } else {
                gate.remaining = std::max(1, std::atoi(word.c_str()));
            }
        }
        std::lock_guard<std::mutex> lock(g.m);
        g.gates.push_back(gate);
        ++g.armed;
        return 0;
    }
    if (verb == "gate_wait") {
        int ms = 5000;
        in >> ms;
        std::unique_lock<std::mutex> lock(g.m);
        bool ok = g.cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return g.parked > 0; });
        if (!ok) reply = "nothing parked";
        return ok ? 0 : -1;
    }
    if (verb == "gate_open") {
        std::lock_guard<std::mutex> lock(g.m);
        ++g.openings;
        g.cv.notify_all();
        return 0;
    }
    if (verb == "first_answer") {
        int ms = -1;
        if (!(in >> ms) || ms < 0) {
            reply = "first_answer <ms>";
            return -1;
        }
        std::lock_guard<std::mutex> lock(g.m);
        g.firstAnswer = std::chrono::milliseconds(ms);
        return 0;
    }
    if (verb == "delay_rows") {
        int us = 0;
        in >> us;
        std::lock_guard<std::mutex> lock(g.m);
        if ((g.delayRowsMicros > 0) != (us > 0)) g.armed += us > 0 ? 1 : -1;
        g.delayRowsMicros = std::max(0, us);
        return 0;
    }
    if (verb == "reset") {
        std::lock_guard<std::mutex> lock(g.m);
        g.gates.clear();
        g.async = true;
        g.delayRowsMicros = 0;
        g.firstAnswer = kFirstAnswer;
        g.armed = 0;
        ++g.openings;
        g.cv.notify_all();
        return -2; // the rest of the control resets too
    }
    return -2;
}

} // namespace oci
