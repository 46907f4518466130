// Starting programs: CreateProcessW over posix_spawn, and process handles.
#pragma once

#include <functional>
#include <vector>
#include <string>

#include "win32/types.h"

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// Starts a program. Without an application name the command line is split
// by the Windows rules; a program name holding a separator is used as
// given, else it is looked for in the executable's directory, the current
// directory and PATH. The program is not waited for (it is reaped when it
// ends). FALSE with GetLastError when it cannot start.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);

// Closes a process or thread handle from CreateProcessW, or a thread handle
// from _beginthreadex (the thread runs on).
BOOL CloseHandle(HANDLE handle);

// Opens a file or URL ("open" or no verb). Absolute http, https, ftp and
// mailto URLs go to the desktop's URL handler; an existing absolute file to
// the desktop's handler for its type (31 when there is none). Above 32 on
// success; 2 for anything else (nothing is opened).
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        int show);

namespace win32bk {
// The backend's opener: kind 0 a URL, 1 a file; true when a handler took it.
void SetShellOpener(std::function<bool(int kind, const std::u16string& target)> opener);
} // namespace win32bk

namespace win32test {
// Tests: while set, ShellExecuteW records the verb and target here and
// opens nothing (files still must exist).
void SetShellRecorder(std::function<void(const std::u16string& verb, const std::u16string& target)> recorder);
// Tests: while set, CreateProcessW hands the command line to the hook
// instead of starting anything and returns what the hook returns.
void SetProcessStartHook(std::function<BOOL(const std::u16string& commandLine)> hook);
} // namespace win32test

// The arguments of a command line by the Windows rules (exposed for tests).
std::vector<std::u16string> SplitCommandLine(const std::u16string& line);
