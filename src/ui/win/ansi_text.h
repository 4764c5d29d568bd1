#pragma once
// The boundary between the portable core's texts and the dialog's. The core hands over
// single-byte texts, shown as the ANSI code page reads them; the dialog layer works in
// UTF-16 throughout and converts here, both ways.

#include <string>

std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const wchar_t* text, int length);
