#pragma once
// windows.h for the program's own Windows files. WindowServices has a member named
// MessageBox, which windows.h would rename to MessageBoxA in some files only; the
// macro goes, and the code calls MessageBoxA/W by their real names.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef MessageBox
