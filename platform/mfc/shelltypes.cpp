// The document type's registration with the desktop: the MIME type of the
// template's extension (shared-mime-info package), the desktop entry that
// opens it with this executable, and the user's default application.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mfc/app.h"
#include "mfc/docview.h"
#include "win32/registry.h"
#include "win32/sysinfo.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kMimeType = "application/x-tavrelix";
// The user's entry takes the installed entry's name, so that it stands in for it.
constexpr const char* kDesktopFile = "org.tavrelix.tavrelix.desktop";
// The name the entry had before it took the reverse-DNS form: an entry left
// under it by an earlier registration goes when the type is registered again
// or removed, so that the menus do not list the program twice.
constexpr const char* kFormerDesktopFile = "tavrelix.desktop";

fs::path XdgDir(const char* variable, const char* fallback) {
    if (const char* v = std::getenv(variable); v && *v) return fs::path(v);
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "/tmp") / fallback;
}

// The template string's parts: window title, document name, new-file name,
// filter name, extension, file type id, file type name.
std::vector<std::u16string> DocStrings(UINT id) {
    std::vector<std::u16string> parts;
    const char16_t* s = AfxFindResourceString(id);
    std::u16string all = s ? s : u"";
    size_t at = 0;
    for (;;) {
        size_t nl = all.find(u'\n', at);
        parts.push_back(all.substr(at, nl == std::u16string::npos ? std::u16string::npos : nl - at));
        if (nl == std::u16string::npos) break;
        at = nl + 1;
    }
    parts.resize(7);
    return parts;
}

std::string Xml(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

// Exec= quoting as desktop entry files define it.
std::string ExecQuoted(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// mimeapps.list with our type's default set (or removed), other lines kept.
void UpdateMimeApps(bool add) {
    fs::path path = XdgDir("XDG_CONFIG_HOME", ".config") / "mimeapps.list";
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    std::string key = std::string(kMimeType) + "=";
    std::vector<std::string> out;
    bool inDefaults = false, placed = false;
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '[') {
            if (inDefaults && add && !placed) out.push_back(key + kDesktopFile), placed = true;
            inDefaults = line == "[Default Applications]";
        } else if (inDefaults && line.rfind(key, 0) == 0) {
            continue;
        }
        out.push_back(line);
    }
    if (add && !placed) {
        if (!inDefaults) out.push_back("[Default Applications]");
        out.push_back(key + kDesktopFile);
    }
    std::ostringstream text;
    for (const std::string& line : out) text << line << '\n';
    WriteFile(path, text.str());
}

// update-mime-database over the user's MIME directory, when it is installed.
void RefreshMimeDatabase(const fs::path& mimeDir) {
    std::string dir = mimeDir.string();
    char prog[] = "update-mime-database";
    std::vector<char*> argv = {prog, dir.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, prog, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

bool SetClassesString(const std::u16string& key, const std::u16string& value) {
    return ::RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                          DWORD((value.size() + 1) * sizeof(char16_t))) == ERROR_SUCCESS;
}

std::u16string ClassesString(const std::u16string& key) {
    char16_t buf[1024] = {};
    LONG size = sizeof buf;
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), buf, &size) != ERROR_SUCCESS) return {};
    return buf;
}

// Deletes a key of HKEY_CLASSES_ROOT with everything under it.
void DeleteClassesTree(const std::u16string& key) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
    std::vector<std::u16string> subkeys;
    for (DWORD i = 0;; ++i) {
        char16_t name[256];
        DWORD n = 256;
        if (::RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(name, n);
    }
    ::RegCloseKey(h);
    for (const std::u16string& sub : subkeys) DeleteClassesTree(key + u"\\" + sub);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

// MFC's keys of a document type: the type's name, its icon and open
// command, and the extension naming the type (unless another type has it).
void RegisterClassesKeys(const std::u16string& ext, const std::u16string& typeId,
                         const std::u16string& typeName, const std::u16string& exe) {
    if (typeId.empty()) return;
    std::u16string quoted = u"\"" + exe + u"\"";
    SetClassesString(typeId, typeName.empty() ? typeId : typeName);
    SetClassesString(typeId + u"\\DefaultIcon", exe + u",0");
    SetClassesString(typeId + u"\\shell\\open\\command", quoted + u" \"%1\"");
    std::u16string owner = ClassesString(ext);
    if (owner.empty() || owner == typeId) SetClassesString(ext, typeId);
}

void UnregisterClassesKeys(const std::u16string& ext, const std::u16string& typeId) {
    if (typeId.empty()) return;
    DeleteClassesTree(typeId);
    if (!ext.empty() && ClassesString(ext) == typeId) DeleteClassesTree(ext);
}

} // namespace

void CWinApp::RegisterShellFileTypes(BOOL) {
    for (CDocTemplate* t : m_templates) {
        std::vector<std::u16string> parts = DocStrings(t->m_nIDResource);
        std::string ext = WideToUtf8(parts[4].c_str());
        if (ext.empty()) continue;
        RegisterClassesKeys(parts[4], parts[5], parts[6], ExecutablePath());
        std::string typeName = WideToUtf8((parts[6].empty() ? parts[1] : parts[6]).c_str());
        std::string appName = WideToUtf8(m_pszAppName ? m_pszAppName : u"tavrelix");
        std::string exe = WideToUtf8(ExecutablePath().c_str());
        fs::path data = XdgDir("XDG_DATA_HOME", ".local/share");
        std::error_code ec;
        std::string pattern = "*" + ext;
        WriteFile(data / "mime" / "packages" / "tavrelix.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"" +
                      std::string(kMimeType) + "\">\n    <comment>" + Xml(typeName) +
                      "</comment>\n    <glob pattern=\"" + Xml(pattern) +
                      "\"/>\n  </mime-type>\n</mime-info>\n");
        fs::remove(data / "applications" / kFormerDesktopFile, ec);
        WriteFile(data / "applications" / kDesktopFile,
                  "[Desktop Entry]\nType=Application\nName=" + appName + "\nExec=" + ExecQuoted(exe) +
                      " %f\nMimeType=" + kMimeType + ";\nTerminal=false\nNoDisplay=false\n");
        UpdateMimeApps(true);
        RefreshMimeDatabase(data / "mime");
        (void)ec;
        break; // one type: the program has one template
    }
}

void CWinApp::UnregisterShellFileTypes() {
    for (CDocTemplate* t : m_templates) {
        std::vector<std::u16string> parts = DocStrings(t->m_nIDResource);
        UnregisterClassesKeys(parts[4], parts[5]);
    }
    fs::path data = XdgDir("XDG_DATA_HOME", ".local/share");
    std::error_code ec;
    fs::remove(data / "mime" / "packages" / "tavrelix.xml", ec);
    fs::remove(data / "applications" / kDesktopFile, ec);
    fs::remove(data / "applications" / kFormerDesktopFile, ec);
    UpdateMimeApps(false);
    RefreshMimeDatabase(data / "mime");
}
