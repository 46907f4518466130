// Saving a file for the user in one piece. The new content is written to a
// temporary file in the target's folder; only when that file is whole and on
// the disk does it take the target's place, keeping the target's
// permissions. Until then, and after any failure, the target is as it was and
// the temporary file is gone.
//
//   SafeSave save;
//   if (!safesave_begin(&save, path)) ...             // nothing was made
//   ... write save.temp_path by any means, close it ...
//   if (failed) safesave_abort(&save);               // target untouched
//   else if (!safesave_commit(&save)) ...             // target untouched
//
// A target that is a device or a pipe cannot be replaced: it is written where
// it is (temp_path is the target), and commit and abort leave it alone.
#pragma once

#include <afx.h>

struct SafeSave {
    CString target;
    CString temp_path; // where the writer writes
    int direct = 0;    // 1: the target is written in place (a device or pipe)
    int active = 0;    // 1 from begin to commit or abort

    SafeSave() = default;
    SafeSave(const SafeSave&) = delete;
    SafeSave& operator=(const SafeSave&) = delete;
    // An unfinished save is abandoned: its temporary file is removed.
    ~SafeSave();
};

// Makes an empty temporary file beside target (or, for a device, names the
// target itself). 0 when none can be made, or when target is a folder or a
// read-only file; nothing is then created.
int safesave_begin(SafeSave* rec, const char16_t* target);

// Puts the temporary file's data on the disk, then puts the file in the
// target's place (the target's permissions and owner kept). 1 on success; 0
// when that failed: the target is then as it was and the temporary file is
// removed. The writer must have closed the temporary file.
int safesave_commit(SafeSave* rec);

// Removes the temporary file; the target is not touched.
void safesave_abort(SafeSave* rec);
