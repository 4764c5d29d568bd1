#pragma once
// UTF-8 text (the command line's) to and from the UTF-16 of the wide Windows calls, so that
// paths with characters outside the ANSI code page work.

#include <string>

namespace os {

std::wstring WidePath(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace os
