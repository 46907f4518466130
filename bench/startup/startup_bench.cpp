// bench_startup [RUNS]: cold starts of `tavrelix LOGON=DEMO/demo@DEMO` with
// fresh settings each time and TAVRELIX_SCREENSHOT set, to the logged-on
// window's first idle as the switch reports it, alternating with the empty Qt
// main window of the same size; medians of RUNS (10) each. Also: spawn to exit
// and processor time of both, the first run (which creates DEMO), and start
// to the login dialog.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "bench/common/bench_summary.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
    double reported = -1; // ms the program printed last on stderr
    double wall = 0;      // ms from spawn to exit
    double cpu = 0;       // ms of processor time, user and system, all threads
    int status = -1;
};

unsigned long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 1000000000ULL +
           static_cast<unsigned long long>(now.tv_nsec);
}

Run Start(const std::string& exe, const std::vector<std::string>& args, const std::vector<std::string>& env,
          const fs::path& scratch) {
    fs::path err = scratch / "stderr.txt";
    std::vector<std::string> argv = {exe};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> a;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // The child counts its start from the spawn, on CLOCK_MONOTONIC, to the
    // microsecond (its start time in /proc moves in 10 ms ticks): the time
    // goes in its environment, the last thing made before the spawn.
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e) envs.emplace_back(*e);
    envs.insert(envs.end(), env.begin(), env.end());
    envs.emplace_back();
    std::vector<char*> e;
    for (auto& s : envs) e.push_back(s.data());
    e.push_back(nullptr);
    Run run;
    const unsigned long long t0 = MonotonicNs();
    envs.back() = "TAVRELIX_SPAWN_NS=" + std::to_string(t0);
    e[envs.size() - 1] = envs.back().data();
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, a.data(), e.data()) != 0) return run;
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.wall = static_cast<double>(MonotonicNs() - t0) / 1e6;
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    run.cpu = ms(usage.ru_utime) + ms(usage.ru_stime);
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(err);
    std::string line;
    while (std::getline(in, line)) {
        char* end = nullptr;
        double v = std::strtod(line.c_str(), &end);
        if (end && end != line.c_str() && *end == 0) run.reported = v;
    }
    return run;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    char tmpl[] = "/tmp/tavrelix-startup-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path root = tmpl;
    const fs::path data = root / "data";
    fs::create_directories(data);
    auto config = [&](int i) { return root / ("config" + std::to_string(i)); };
    auto env = [&](int i, const char* shot) {
        return std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + data.string(),
                                        "XDG_CONFIG_HOME=" + config(i).string(),
                                        "TAVRELIX_SCREENSHOT=" + (root / shot).string()};
    };
    unsetenv("TNS_ADMIN");

    // The first run makes DEMO.
    Run first = Start(TAVRELIX_EXE, {"LOGON=DEMO/demo@DEMO"}, env(0, "first.png"), root);
    std::printf("first run (creates DEMO): reported %.1f ms, spawn to exit %.1f ms\n", first.reported,
                first.wall);

    std::vector<double> app, appWall, appCpu, ref, refWall, refCpu, login;
    for (int i = 1; i <= runs; ++i) {
        Run a = Start(TAVRELIX_EXE, {"LOGON=DEMO/demo@DEMO"}, env(i, "main.png"), root);
        Run r = Start(REFERENCE_EXE, {}, env(i, "ref.png"), root);
        Run l = Start(TAVRELIX_EXE, {}, env(runs + i, "login.png"), root);
        if (a.reported < 0 || r.reported < 0 || l.reported < 0) {
            std::fprintf(stderr, "run %d did not report (status %d %d %d)\n", i, a.status, r.status,
                         l.status);
            continue;
        }
        app.push_back(double(a.reported));
        appWall.push_back(a.wall);
        appCpu.push_back(a.cpu);
        ref.push_back(double(r.reported));
        refWall.push_back(r.wall);
        refCpu.push_back(r.cpu);
        login.push_back(double(l.reported));
    }
    const double ma = Median(app), mr = Median(ref);
    std::printf("tavrelix LOGON=DEMO/demo@DEMO to first idle: median %.1f ms (spawn to exit %.1f ms, "
                "processor %.1f ms)\n",
                ma, Median(appWall), Median(appCpu));
    std::printf("Qt main window 800x600 to first idle:       median %.1f ms (spawn to exit %.1f ms, "
                "processor %.1f ms)\n",
                mr, Median(refWall), Median(refCpu));
    std::printf("tavrelix to the login dialog:                median %.1f ms\n", Median(login));
    std::printf("ratio %.2f (target: within 3x) over %zu runs\n", mr > 0 ? ma / mr : 0.0, app.size());
    // Two different programs: nothing of theirs to compare but the time.
    BenchSummary("start-up to first idle, against an empty Qt main window", ma, mr, "ms", 3,
                 BenchNotComparable());
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
