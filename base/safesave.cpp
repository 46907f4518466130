#include "base/safesave.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

#include "win32/fileattr.h"
#include "win32/fileops.h"

namespace {

// Where the folder part of a path ends (after its last separator), 0 for a
// bare name.
int NameStart(const CString& path) {
    int i = path.GetLength();
    while (i > 0 && path[i - 1] != u'\\' && path[i - 1] != u'/') --i;
    return i;
}

uint32_t RandomWord() {
    static std::atomic<uint32_t> counter{0};
    uint32_t v = (counter.fetch_add(1) + 1) * 0x9E3779B9u;
    try {
        std::random_device device;
        v ^= device();
    } catch (...) {
        v ^= static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return v;
}

// "~" and the target's name (its first 60 units, a pair kept whole), a random
// part and ".tmp": short enough for any file system's name limit, and telling
// whose it is should one ever be left behind.
CString TempName(const CString& target) {
    const int start = NameStart(target);
    CString name = target.Mid(start);
    int keep = name.GetLength() < 60 ? name.GetLength() : 60;
    if (keep > 0 && keep < name.GetLength() && name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
    CString temp;
    temp.Format(u"%s~%s.%08x.tmp", target.Left(start).GetString(), name.Left(keep).GetString(), RandomWord());
    return temp;
}

} // namespace

SafeSave::~SafeSave() {
    safesave_abort(this);
}

int safesave_begin(SafeSave* rec, const char16_t* target) {
    safesave_abort(rec);
    if (!target || !*target) return 0;
    rec->target = target;
    const DWORD attrs = GetFileAttributesW(target);
    if (attrs != INVALID_FILE_ATTRIBUTES) {
        if (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return 0;
        if (attrs & FILE_ATTRIBUTE_DEVICE) {
            rec->temp_path = target;
            rec->direct = 1;
            rec->active = 1;
            return 1;
        }
    }
    // A new name, made by this call alone ("x": never an existing file).
    for (int attempt = 0; attempt < 100; ++attempt) {
        CString temp = TempName(rec->target);
        FILE* f = _wfopen(temp.GetString(), u"wbx");
        if (f) {
            std::fclose(f);
            rec->temp_path = temp;
            rec->direct = 0;
            rec->active = 1;
            return 1;
        }
        if (GetFileAttributesW(temp.GetString()) == INVALID_FILE_ATTRIBUTES)
            break; // not a clash: no folder, no right
    }
    return 0;
}

int safesave_commit(SafeSave* rec) {
    if (!rec->active) return 0;
    if (rec->direct) {
        rec->active = 0;
        return 1;
    }
    bool ok = true;
    // The data first: a name that points at a file whose data never reached
    // the disk would be the cut file this is here to prevent.
    CFile file;
    if (!file.Open(rec->temp_path.GetString(), CFile::modeWrite | CFile::shareExclusive)) {
        ok = false;
    } else {
        try {
            file.Flush();
            file.Close();
        } catch (CException* e) {
            e->Delete();
            ok = false;
        }
    }
    if (ok) {
        ok = false;
        if (GetFileAttributesW(rec->target.GetString()) != INVALID_FILE_ATTRIBUTES)
            ok = ReplaceFileW(rec->target.GetString(), rec->temp_path.GetString(), nullptr, 0, nullptr,
                              nullptr) != FALSE;
        // No target (or it went away meanwhile): the file takes the name.
        if (!ok && GetFileAttributesW(rec->target.GetString()) == INVALID_FILE_ATTRIBUTES)
            ok = MoveFileExW(rec->temp_path.GetString(), rec->target.GetString(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    if (!ok) {
        const DWORD error = GetLastError();
        safesave_abort(rec);
        SetLastError(error);
        return 0;
    }
    rec->active = 0;
    return 1;
}

void safesave_abort(SafeSave* rec) {
    if (rec->active && !rec->direct) DeleteFileW(rec->temp_path.GetString());
    rec->active = 0;
    rec->direct = 0;
}
