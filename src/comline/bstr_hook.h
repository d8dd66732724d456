#pragma once
// Every BSTR the automation layer makes from a text goes through one replaceable routine, so
// that a host program can decide how strings are allocated (and tests can make it fail).
#include <windows.h>
#include <oleauto.h>

namespace tovalen::comline {

using MakeBstrRoutine = BSTR (*)(const wchar_t* text);

// SysAllocString of the text; null when there is no memory.
BSTR allocate_bstr(const wchar_t* text);

// The hook itself; start-up sets it before any automation work. Starts as allocate_bstr.
extern MakeBstrRoutine make_bstr;

}  // namespace tovalen::comline
