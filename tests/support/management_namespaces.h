// The two optional namespaces of the management service, and whether one answers on this system
// (asked with the system's own call).
#pragma once

#include "platform/handles.h"

namespace tovalen::testing {

inline constexpr wchar_t SECURITY_CENTER_MONIKER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\SecurityCenter2";
inline constexpr wchar_t DEFENDER_MONIKER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\Microsoft\\Windows\\Defender";

inline bool management_namespace_answers(const wchar_t* moniker)
{
    const platform::CoInitGuard com;
    platform::ComPtr<IDispatch> service;
    return SUCCEEDED(::CoGetObject(moniker, nullptr, IID_IDispatch, service.put_void()));
}

}  // namespace tovalen::testing
