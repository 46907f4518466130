// The resource compiler: tavrelix_rc [-I dir] [-D name[=value]] [--framework]
// -o out.cpp [-d out.d] script.rc. Errors name the file and line and fail.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "compiler.h"

int main(int argc, char** argv) {
    std::vector<std::string> includeDirs;
    std::map<std::string, std::string> defines;
    std::string input, output, depfile;
    bool framework = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (a.size() > 2) return a.substr(2);
            if (i + 1 >= argc) {
                fprintf(stderr, "tavrelix_rc: %s needs a value\n", a.c_str());
                exit(2);
            }
            return argv[++i];
        };
        if (a.compare(0, 2, "-I") == 0) {
            includeDirs.push_back(value());
        } else if (a.compare(0, 2, "-D") == 0) {
            std::string d = value();
            size_t eq = d.find('=');
            defines[d.substr(0, eq)] = eq == std::string::npos ? "1" : d.substr(eq + 1);
        } else if ((a == "-o" || a == "-d") && i + 1 < argc) {
            (a == "-o" ? output : depfile) = argv[++i];
        } else if (a == "--framework") {
            framework = true;
        } else {
            input = a;
        }
    }
    if (input.empty() || output.empty()) {
        fprintf(
            stderr,
            "usage: tavrelix_rc [-I dir] [-D name[=value]] [--framework] -o out.cpp [-d out.d] script.rc\n");
        return 2;
    }
    rc::Script script;
    std::string error;
    if (!rc::Compile(input, includeDirs, defines, &script, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::ofstream f(output, std::ios::binary);
    f << rc::EmitCpp(script, input, framework);
    if (!f) {
        fprintf(stderr, "tavrelix_rc: cannot write %s\n", output.c_str());
        return 1;
    }
    if (!depfile.empty()) {
        std::ofstream d(depfile);
        d << output << ":";
        for (const std::string& file : script.files) d << " \\\n  " << file;
        d << "\n";
    }
    return 0;
}
