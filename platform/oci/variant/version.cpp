// The version block that the platform's GetFileVersionInfoW reads from the
// library file: NUL-terminated "Key=Value" lines in the .winver section.
#ifndef OCI_VERSION_LINES
#define OCI_VERSION_LINES "ProductVersion=11.2.0.4.0\0FileVersion=11.2.0.4.0\0"
#endif

__attribute__((section(".winver"), used)) static const char kVersionBlock[] = OCI_VERSION_LINES;
