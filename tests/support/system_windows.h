// Text and names the Windows parts of the test support share.
#pragma once

#include <string>

namespace testsupport::windows {

// Test paths are bytes in the ANSI code page, as the command takes them:
// `text` as UTF-16, and back.
std::wstring wide(const std::string &text);
std::string narrow(const std::wstring &text);

// A fresh name for a folder or pipe of this process's.
std::wstring freshName();

} // namespace testsupport::windows
