#pragma once
// UTF-8 text (the command line's) to and from the UTF-16 of the wide Windows calls, so that
// paths with characters outside the ANSI code page work. Windows build only; the
// conversions live in win/wide_text.cpp.

#include <string>

std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);
