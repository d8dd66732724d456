#include "comline/bstr_hook.h"

namespace tovalen::comline {

BSTR allocate_bstr(const wchar_t* text)
{
    return ::SysAllocString(text);
}

MakeBstrRoutine make_bstr = allocate_bstr;

}  // namespace tovalen::comline
