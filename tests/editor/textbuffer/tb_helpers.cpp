#include "tb_helpers.h"

#include "win32/backend.h"

int TestBeeps() {
    return win32bk::BeepCount();
}
