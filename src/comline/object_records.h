// Helpers shared by the layer's own files: making object records and carrying codes.
#pragma once

#include "comline/comline.h"

namespace tovalen::comline {

constexpr std::int64_t code_of(HRESULT hr)
{
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(hr));
}

constexpr bool succeeded(std::int64_t code)
{
    return (code & 0x80000000) == 0;
}

inline constexpr std::int64_t CODE_S_FALSE = 1;

// Reports an operation's outcome for the object and hands the code back to the caller.
inline std::int64_t report_outcome(const ComLineObject* object, HRESULT hr)
{
    record_error(object, code_of(hr), false, {});
    return code_of(hr);
}

// A new record owning the given reference, counted as live; null (and the reference released)
// when there is no memory for it.
ComLineObject* make_object_record(IDispatch* dispatch);

// Frees what an EXCEPINFO holds and reports the description (or none) as the exception's
// outcome for `object`.
void report_exception(const ComLineObject* object, HRESULT code, EXCEPINFO& exception);

}  // namespace tovalen::comline
