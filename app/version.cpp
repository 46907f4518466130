// The program's version block, read by GetFileVersionInfoW from the
// executable file (NUL-terminated "Key=Value" lines in the .winver section).
#ifndef TAVRELIX_VERSION
#define TAVRELIX_VERSION "0.0.0.0"
#endif

__attribute__((section(".winver"), used)) static const char kVersionBlock[] =
    "ProductVersion=" TAVRELIX_VERSION "\0FileVersion=" TAVRELIX_VERSION "\0";
