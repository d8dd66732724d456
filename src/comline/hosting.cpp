// ActiveX controls hosted by the system's control hosting (atl.dll, loaded at run time), and the
// two operations of an object that is such a control.
#include "comline/comline.h"

#include "comline/object_records.h"
#include "platform/handles.h"
#include "platform/system_folder.h"

namespace tovalen::comline {
namespace {

using platform::ComPtr;
using platform::UniqueLibrary;
using platform::UniqueWindow;

// IAxWinAmbientDispatch: the hosting site's ambient properties, UserMode among them.
constexpr IID IID_AMBIENT_DISPATCH = {0xB6EA2051, 0x048A, 0x11D1, {0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB9, 0x94, 0x2E}};

constexpr wchar_t CONTROL_HOSTING_LIBRARY[] = L"atl.dll";

using WindowInitRoutine = BOOL(WINAPI*)();
using CreateControlRoutine = HRESULT(WINAPI*)(LPCOLESTR name, HWND window, IStream* stream, IUnknown** container);
using GetControlRoutine = HRESULT(WINAPI*)(HWND window, IUnknown** control);
using GetHostRoutine = HRESULT(WINAPI*)(HWND window, IUnknown** host);

HRESULT last_win32_error()
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

HRESULT load_control_hosting(UniqueLibrary& atl)
{
    atl.reset(platform::load_system_library(CONTROL_HOSTING_LIBRARY));
    return atl ? S_OK : last_win32_error();
}

struct HostingRoutines {
    WindowInitRoutine init = nullptr;
    CreateControlRoutine create_control = nullptr;
    GetControlRoutine get_control = nullptr;
};

HRESULT find_hosting_routines(const UniqueLibrary& atl, HostingRoutines& routines)
{
    using platform::library_routine;
    routines.init = library_routine<WindowInitRoutine>(atl.get(), "AtlAxWinInit");
    routines.create_control = library_routine<CreateControlRoutine>(atl.get(), "AtlAxCreateControl");
    routines.get_control = library_routine<GetControlRoutine>(atl.get(), "AtlAxGetControl");
    const bool all_found = routines.init != nullptr && routines.create_control != nullptr && routines.get_control != nullptr;
    return all_found ? S_OK : last_win32_error();
}

// The hosting registers its window classes on every initialisation; finding them registered by an
// earlier one is no failure.
HRESULT initialise_hosting(const HostingRoutines& routines)
{
    ::SetLastError(ERROR_SUCCESS);
    if (routines.init() || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        return S_OK;
    }
    return last_win32_error();
}

// The container control: a plain child window filling the window's client area, which the
// hosting takes over for the control.
HRESULT make_container_control(HWND window, UniqueWindow& container)
{
    RECT area{};
    if (!::GetClientRect(window, &area)) {
        return last_win32_error();
    }
    container.reset(::CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                      area.right - area.left, area.bottom - area.top, window, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr));
    return container ? S_OK : last_win32_error();
}

// The class goes to the hosting as a braced CLSID, which it can only take as a class: a text it
// cannot resolve would otherwise be taken for a web address to browse.
HRESULT host_in_container(const HostingRoutines& routines, const CLSID& clsid, HWND container,
                          ComPtr<IDispatch>& dispatch)
{
    wchar_t class_text[40] = {};
    if (::StringFromGUID2(clsid, class_text, ARRAYSIZE(class_text)) == 0) {
        return E_INVALIDARG;
    }
    ComPtr<IUnknown> site;
    HRESULT hr = routines.create_control(class_text, container, nullptr, site.put());
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IUnknown> control;
    hr = routines.get_control(container, control.put());
    if (SUCCEEDED(hr) && !control) {
        hr = E_NOINTERFACE;
    }
    if (SUCCEEDED(hr)) {
        hr = control.query(IID_IDispatch, dispatch.put_void());
    }
    if (SUCCEEDED(hr) && !dispatch) {
        hr = E_NOINTERFACE;
    }
    return hr;
}

// The system's control hosting is loaded only when a hosted control needs it, and stays loaded
// while the caller holds the site it gave.
HRESULT hosting_site(HWND window, UniqueLibrary& atl, ComPtr<IUnknown>& host)
{
    HRESULT hr = load_control_hosting(atl);
    GetHostRoutine get_host = nullptr;
    if (SUCCEEDED(hr)) {
        get_host = platform::library_routine<GetHostRoutine>(atl.get(), "AtlAxGetHost");
        hr = get_host != nullptr ? S_OK : last_win32_error();
    }
    if (FAILED(hr)) {
        return hr;
    }
    // last_win32_error gives a failure for every error, so a routine not found has returned above;
    // the analyser does not follow the high bit that HRESULT_FROM_WIN32 sets.
    hr = get_host(window, host.put());  // NOLINT(clang-analyzer-core.CallAndMessage): never null here
    return SUCCEEDED(hr) && !host ? E_NOINTERFACE : hr;
}

HWND window_of_control(std::int64_t container_control)
{
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(container_control));
}

}  // namespace

// The hosting's window procedure runs in the container control's window, so each hosted control
// keeps one reference on atl.dll until destroy_container_control gives it back. On failure the
// container and the control are gone before the library reference is.
HRESULT create_hosted_control(const CLSID& clsid, HWND window, ComPtr<IDispatch>& dispatch,
                              std::int64_t& container_control)
{
    container_control = 0;
    UniqueLibrary atl;
    HostingRoutines routines;
    HRESULT hr = load_control_hosting(atl);
    if (SUCCEEDED(hr)) {
        hr = find_hosting_routines(atl, routines);
    }
    if (SUCCEEDED(hr)) {
        hr = initialise_hosting(routines);
    }
    UniqueWindow container;
    if (SUCCEEDED(hr)) {
        hr = make_container_control(window, container);
    }
    if (SUCCEEDED(hr)) {
        hr = host_in_container(routines, clsid, container.get(), dispatch);
    }
    if (FAILED(hr)) {
        dispatch.reset();
        return hr;
    }
    container_control = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(container.release()));
    (void)atl.release();
    return hr;
}

void destroy_container_control(std::int64_t container_control)
{
    if (container_control == 0) {
        return;
    }
    // A container destroyed along with its window leaves nothing to destroy here.
    const HWND container = window_of_control(container_control);
    if (::IsWindow(container)) {
        ::DestroyWindow(container);
    }
    if (HMODULE atl = ::GetModuleHandleW(CONTROL_HOSTING_LIBRARY)) {
        ::FreeLibrary(atl);
    }
}

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
    HRESULT hr = hosting_site(window_of_control(object->container_control), atl, host);
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
