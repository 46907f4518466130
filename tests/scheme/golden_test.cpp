// Golden transcripts: each golden/NAME.scm runs in a fresh interpreter set up
// as the program's host does (*load-path* set, init.scm loaded); what it
// prints on the output and error ports, interleaved, must equal NAME.out
// with addresses ("0x" and 16 hex digits) masked. Lines starting ";! env "
// set an environment variable for the run; ";! exec-hook" records win-exec
// command lines instead of starting programs. A script holding lines that
// start with ";---" runs section by section (each through the string entry,
// so an error ends only its section); otherwise it is loaded as a file.
// *golden-temp* names a scratch directory ending in a slash. UPDATE_GOLDEN=1
// rewrites the expected files.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "scheme_fixture.h"

namespace fs = std::filesystem;

namespace {

std::u16string transcript;

void sink(SchemeInterpreter*, const char16_t* text, uint32_t) {
    transcript += text;
}

fs::path source_dir() {
    const char* s = getenv("TAVRELIX_SOURCE_DIR");
    return s ? fs::path(s) : fs::current_path().parent_path().parent_path();
}

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string mask(std::string s) {
    for (size_t i = 0; i + 18 <= s.size(); ++i) {
        if (s[i] != '0' || s[i + 1] != 'x') continue;
        bool hex = true;
        for (size_t k = i + 2; k < i + 18 && hex; ++k) hex = isxdigit(static_cast<unsigned char>(s[k])) != 0;
        if (hex) s.replace(i + 2, 16, 16, '#');
    }
    return s;
}

std::u16string scheme_string(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return to_u16(out + "\"");
}

// Runs one script as the host would; returns its transcript.
std::string run_script(const fs::path& script, bool collectEveryAlloc) {
    std::string text = read_file(script);
    std::vector<std::pair<std::string, std::string>> savedEnv;
    bool execHook = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(";! env ", 0) == 0) {
            std::string kv = line.substr(7);
            size_t eq = kv.find('=');
            std::string name = kv.substr(0, eq);
            const char* old = getenv(name.c_str());
            savedEnv.emplace_back(name, old ? std::string(1, '=') + old : std::string());
            setenv(name.c_str(), kv.substr(eq + 1).c_str(), 1);
        } else if (line == ";! exec-hook") {
            execHook = true;
        }
    }
    tzset();
    if (execHook) {
        win32test::SetProcessStartHook([](const std::u16string& line) {
            transcript += u"exec: " + line + u"\n";
            return TRUE;
        });
    }
    SchemeInterpreter* sc = sch_create();
    EXPECT_NE(sc, nullptr);
    port_of(sc->outport)->output = sink;
    port_of(sc->errport)->output = sink;
    transcript.clear();
    fs::path lib = source_dir() / "scmlib";
    std::u16string setup = u"(define *load-path* '(" + scheme_string(lib.string()) + u" " +
                           scheme_string(script.parent_path().string()) + u"))";
    sch_safe_load_string(sc, setup.c_str());
    std::u16string temp = u"(define *golden-temp* " + scheme_string(scheme_temp_dir()) + u")";
    sch_safe_load_string(sc, temp.c_str());
    EXPECT_EQ(sch_safe_load_file(sc, to_u16((lib / "init.scm").string()).c_str()), 0);
    EXPECT_EQ(to_utf8(transcript), "") << "init.scm";
    transcript.clear();
    sc->testCollectEveryAlloc = collectEveryAlloc ? 1 : 0;
    std::vector<std::string> sections;
    std::istringstream body(text);
    std::string current;
    bool split = false;
    for (std::string line; std::getline(body, line);) {
        if (line.rfind(";---", 0) == 0) {
            split = true;
            sections.push_back(current);
            current.clear();
            continue;
        }
        current += line + "\n";
    }
    sections.push_back(current);
    if (split) {
        for (const std::string& section : sections) sch_safe_load_string(sc, to_u16(section).c_str());
    } else {
        sch_safe_load_file(sc, to_u16(script.string()).c_str());
    }
    sch_destroy(sc);
    win32test::SetProcessStartHook(nullptr);
    for (auto it = savedEnv.rbegin(); it != savedEnv.rend(); ++it) {
        if (it->second.empty())
            unsetenv(it->first.c_str());
        else
            setenv(it->first.c_str(), it->second.c_str() + 1, 1);
    }
    tzset();
    return to_utf8(transcript);
}

std::vector<fs::path> scripts(const char* dir = "golden") {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(source_dir() / "tests/scheme" / dir)) {
        if (e.path().extension() == ".scm" && e.path().filename() != "harness.scm") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void check_all(bool collectEveryAlloc) {
    auto all = scripts();
    ASSERT_FALSE(all.empty());
    bool update = getenv("UPDATE_GOLDEN") && !collectEveryAlloc;
    for (const fs::path& script : all) {
        SCOPED_TRACE(script.filename().string());
        std::string got = mask(run_script(script, collectEveryAlloc));
        fs::path expected = script;
        expected.replace_extension(".out");
        if (update) {
            std::ofstream(expected, std::ios::binary) << got;
            continue;
        }
        EXPECT_EQ(got, mask(read_file(expected)));
    }
}

} // namespace

TEST(SchemeGolden, Transcripts) {
    check_all(false);
}

TEST(SchemeGolden, TranscriptsCollectingAtEveryAllocation) {
    check_all(true);
}

// Conformance suites print only their totals; any failure line or error text
// fails.
TEST(SchemeConformance, Suites) {
    auto all = scripts("conformance");
    ASSERT_FALSE(all.empty());
    for (const fs::path& script : all) {
        SCOPED_TRACE(script.filename().string());
        std::string got = run_script(script, false);
        size_t passed = got.find(" passed, 0 failed\n");
        EXPECT_TRUE(passed != std::string::npos && passed + 18 == got.size()) << got;
        EXPECT_EQ(got.find_first_not_of("0123456789"), got.find(' ')) << got;
    }
}
