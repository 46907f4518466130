// Console demo of the text foundation; the editor application replaces it.
#include <cstdio>

#include <windows.h>

int main() {
    SetLastError(0);
    std::printf("tavrelix: text foundation demo\n");
    return static_cast<int>(GetLastError());
}
