// The program ended by a signal, as a desktop session or a terminal ends it:
// its windows end as at a normal end, so the main window is stored at its
// own place, not at the one kept for a second window one caption lower.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A DWORD of the WINDOW section in the registry stand-in's file, or -1.
long WindowValue(const fs::path& file, const std::string& name) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    const std::string reg = text.str();
    const size_t key = reg.find("\\tavrelix\\WINDOW]");
    if (key == std::string::npos) return -1;
    const std::string section = reg.substr(key, reg.find("\n[", key) - key);
    const std::string tag = "\"" + name + "\"=dword:";
    const size_t at = section.find(tag);
    return at == std::string::npos ? -1 : std::stol(section.substr(at + tag.size(), 8), nullptr, 16);
}

TEST(SignalEnd, TheMainWindowKeepsItsPlaceWhenTheProgramIsEndedBySigterm) {
    const fs::path dir = fs::temp_directory_path() / ("tavrelix-signal-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "config" / "tavrelix");
    fs::create_directories(dir / "data");
    const fs::path reg = dir / "config" / "tavrelix" / "registry.reg";
    // The place an earlier run stored at its end.
    std::ofstream(reg)
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\QUARN\\ORACLE\\tavrelix\\WINDOW]\n"
           "\"LEFT\"=dword:00000064\n\"TOP\"=dword:00000050\n"
           "\"WIDTH\"=dword:00000280\n\"HEIGHT\"=dword:000001e0\n\"ZOOMED\"=dword:00000000\n\n";

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("HOME=", 0) && v.rfind("XDG_CONFIG_HOME=", 0) && v.rfind("XDG_DATA_HOME=", 0) &&
            v.rfind("QT_QPA_PLATFORM=", 0) && v.rfind("TNS_ADMIN=", 0))
            env.push_back(v);
    }
    env.push_back("HOME=" + dir.string());
    env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
    env.push_back("XDG_DATA_HOME=" + (dir / "data").string());
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string program = TAVRELIX_PROGRAM, logon = "LOGON=DEMO/demo@DEMO";
    char* argv[] = {program.data(), logon.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);

    // Up once the main window stored the place for a second one, a caption lower.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    bool up = false;
    while (!up && std::chrono::steady_clock::now() < until && waitpid(pid, &status, WNOHANG) == 0) {
        up = WindowValue(reg, "TOP") == 80 + 23;
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(up) << "the program did not open its main window";
    kill(pid, SIGTERM);
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the program did not end";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM)
        << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status)) : "exited");
    EXPECT_EQ(WindowValue(reg, "LEFT"), 100);
    EXPECT_EQ(WindowValue(reg, "TOP"), 80);
    EXPECT_EQ(WindowValue(reg, "WIDTH"), 640);
    EXPECT_EQ(WindowValue(reg, "HEIGHT"), 480);
    fs::remove_all(dir);
}

} // namespace
