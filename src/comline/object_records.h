// Helpers shared by the layer's own files: making object records and carrying codes.
#pragma once

#include "comline/comline.h"
#include "platform/handles.h"

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

// What every Invoke of the layer does with its EXCEPINFO afterwards: for DISP_E_EXCEPTION it
// reports the description (or none) as the exception's outcome for `object`; whatever the code,
// it frees the texts the object left there.
void settle_exception(const ComLineObject* object, HRESULT code, EXCEPINFO& exception);

// An ActiveX control of the class, hosted by the system's control hosting in a container control
// made inside `window`; the control's IDispatch and the container's handle as a number. On
// failure nothing of it remains.
HRESULT create_hosted_control(const CLSID& clsid, HWND window, platform::ComPtr<IDispatch>& dispatch,
                              std::int64_t& container_control);

// Destroys a container control made by create_hosted_control, and with it the hosted control.
void destroy_container_control(std::int64_t container_control);

}  // namespace tovalen::comline
