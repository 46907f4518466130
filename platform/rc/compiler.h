// The resource compiler as a library: a UTF-8 resource script compiled into
// resources in Windows' binary layout, and the C++ file that registers them.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rc {

struct CompiledResource {
    int type = 0;
    int id = 0;
    std::string name; // a string name instead of an id
    std::vector<uint8_t> data;
};

struct Script {
    std::vector<CompiledResource> resources;
    std::string version;         // the VERSIONINFO's NUL-ended "Key=Value" lines, or empty
    std::set<std::string> files; // every file read
};

// Compiles the script at path; on failure error is "file:line: error: ...".
bool Compile(const std::string& path, const std::vector<std::string>& includeDirs,
             const std::map<std::string, std::string>& defines, Script* out, std::string* error);
// The C++ source holding the tables and their registration.
std::string EmitCpp(const Script& script, const std::string& source, bool framework);

} // namespace rc
