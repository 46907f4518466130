// The yardstick of bench_startup: an empty Qt main window of 800 x 600, the
// size tavrelix's main window opens at.
#include "display/startup_reference.h"

int main(int argc, char** argv) {
    return qtplatform::RunStartupReference(argc, argv, 800, 600);
}
