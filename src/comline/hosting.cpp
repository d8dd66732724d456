// The two operations of an object that is an ActiveX control hosted in a window.
#include "comline/events.h"

#include "comline/object_records.h"
#include "platform/handles.h"
#include "platform/system_folder.h"

namespace tovalen::comline {
namespace {

using platform::ComPtr;
using platform::UniqueLibrary;

// IAxWinAmbientDispatch: the hosting site's ambient properties, UserMode among them.
constexpr IID IID_AMBIENT_DISPATCH = {0xB6EA2051, 0x048A, 0x11D1, {0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB9, 0x94, 0x2E}};

using GetHostRoutine = HRESULT(WINAPI*)(HWND window, IUnknown** host);

HRESULT last_win32_error()
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The system's control hosting is loaded only when a hosted control needs it, and stays loaded
// while the caller holds the site it gave.
HRESULT hosting_site(HWND window, UniqueLibrary& atl, ComPtr<IUnknown>& host)
{
    atl.reset(platform::load_system_library(L"atl.dll"));
    if (!atl) {
        return last_win32_error();
    }
    FARPROC found = ::GetProcAddress(atl.get(), "AtlAxGetHost");
    if (found == nullptr) {
        return last_win32_error();
    }
    auto get_host = reinterpret_cast<GetHostRoutine>(reinterpret_cast<void (*)()>(found));
    HRESULT hr = get_host(window, host.put());
    return SUCCEEDED(hr) && !host ? E_NOINTERFACE : hr;
}

}  // namespace

std::int64_t get_container_window(ComLineObject* object, bool want_control_number)
{
    if (object->container_window == nullptr) {
        report_outcome(object, E_FAIL);
        return 0;
    }
    report_outcome(object, S_OK);
    return want_control_number ? object->container_control
                               : static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(object->container_window));
}

std::int64_t set_user_mode(ComLineObject* object, bool design_mode)
{
    if (object->container_control == 0) {
        return report_outcome(object, E_FAIL);
    }
    UniqueLibrary atl;
    ComPtr<IUnknown> host;
    HRESULT hr = hosting_site(object->container_window, atl, host);
    ComPtr<IUnknown> ambient;
    if (SUCCEEDED(hr)) {
        hr = host.query(IID_AMBIENT_DISPATCH, ambient.put_void());
    }
    if (SUCCEEDED(hr) && !ambient) {
        hr = E_NOINTERFACE;
    }
    if (FAILED(hr)) {
        return report_outcome(object, hr);
    }
    ComLineObject* ambient_properties = wrap_interface(ambient.get());
    if (ambient_properties == nullptr) {
        return last_error_code();
    }
    const std::int64_t outcome =
        write_property(ambient_properties, design_mode ? L"UserMode = #False" : L"UserMode = #True");
    release_object(ambient_properties);
    return outcome;
}

}  // namespace tovalen::comline
