// The Win32 headers as the Win32 host uses them: the ANSI ("A") functions are called by their
// full names, and the macros that would rename the host's own methods (CreateWindow,
// MessageBox, DeleteFile, ...) are taken away.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>

#undef CreateWindow
#undef MessageBox
#undef DeleteFile
#undef MoveFile
#undef CopyFile
#undef CreateProcess
#undef LoadLibrary
#undef SetFileAttributes
#undef ShellExecute
#undef ExitWindows
#undef RegCreateKey
#undef RegDeleteKey
#undef RegQueryValue
#undef RegSetValue
#undef RegDeleteValue
#undef AddFontResource
#undef RemoveFontResource
#undef GetEnvironmentStrings
#undef CreateMutex
#undef AnsiToOem
