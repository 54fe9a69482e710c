// The temporary, Windows, system and shell folders of the machine.
#pragma once

#include <string>

namespace sx {

// The system temporary folder with a trailing '\'. When the system names the current folder (as
// it does when no temporary folder is configured): the Windows folder's "Temp\" on Windows 9x,
// "C:\Temp\" on NT.
std::string GetTempFolder();

// Without a trailing '\'.
std::string GetWindowsFolder();
std::string GetSystemFolder();

// The path of a shell folder by its CSIDL number; "" when the machine has none or it does not
// exist.
std::string GetSpecialFolder(int csidl);

// The shell folder kinds 0 to 13: desktop, fonts, network neighbourhood, documents, programs,
// recent, send-to, start menu, start-up, templates, and the common start menu, programs,
// start-up and desktop, which fall back to the user's own when the machine has no common ones.
std::string GetShellFolder(int kind);

}  // namespace sx
