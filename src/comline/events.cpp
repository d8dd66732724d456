// Event handling: connecting an object's events to the layer's EventSink, delivering them to the
// program's callbacks, and reading the parameters of the event being delivered.
#include "comline/comline.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "comline/object_records.h"
#include "platform/handles.h"

namespace tovalen::comline {
namespace {

using platform::ComPtr;
using platform::UniqueBstr;
using platform::UniqueVariant;

std::int64_t known_return_kind(std::int64_t kind)
{
    return kind < EVENT_RETURNS_NOTHING || kind > EVENT_RETURNS_VARIANT ? EVENT_RETURNS_NOTHING : kind;
}

// One callback answers every event, so it can only fill the result itself or return nothing.
std::int64_t catch_all_return_kind(std::int64_t kind)
{
    return kind == EVENT_RETURNS_NOTHING ? EVENT_RETURNS_NOTHING : EVENT_RETURNS_VARIANT;
}

HRESULT last_win32_error()
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// ---- Per-event callbacks as window properties ----

std::wstring property_name(std::wstring_view event_name, std::wstring_view suffix)
{
    std::wstring name(event_name);
    name += suffix;
    return name;
}

HANDLE as_property_value(EventCallback callback)
{
    return reinterpret_cast<HANDLE>(reinterpret_cast<std::uintptr_t>(callback));
}

EventCallback callback_of(HANDLE value)
{
    return reinterpret_cast<EventCallback>(reinterpret_cast<std::uintptr_t>(value));
}

HRESULT store_event_callback(HWND window, std::wstring_view event_name, EventCallback callback,
                             std::int64_t return_kind)
{
    const std::wstring callback_name = property_name(event_name, EVENT_CALLBACK_SUFFIX);
    const std::wstring kind_name = property_name(event_name, EVENT_RETURN_KIND_SUFFIX);
    if (!::SetPropW(window, callback_name.c_str(), as_property_value(callback))) {
        return last_win32_error();
    }
    if (!::SetPropW(window, kind_name.c_str(), reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(return_kind)))) {
        const HRESULT hr = last_win32_error();
        ::RemovePropW(window, callback_name.c_str());
        return hr;
    }
    return S_OK;
}

void remove_event_callback(HWND window, std::wstring_view event_name)
{
    ::RemovePropW(window, property_name(event_name, EVENT_CALLBACK_SUFFIX).c_str());
    ::RemovePropW(window, property_name(event_name, EVENT_RETURN_KIND_SUFFIX).c_str());
}

bool ends_with_callback_suffix(std::wstring_view name)
{
    return name.size() >= EVENT_CALLBACK_SUFFIX.size() &&
           name.substr(name.size() - EVENT_CALLBACK_SUFFIX.size()) == EVENT_CALLBACK_SUFFIX;
}

BOOL CALLBACK collect_callback_property(HWND, LPWSTR name, HANDLE, ULONG_PTR names)
{
    // Properties named by an atom carry no text to look at.
    if (!IS_INTRESOURCE(name) && ends_with_callback_suffix(name)) {
        reinterpret_cast<std::vector<std::wstring>*>(names)->emplace_back(name);
    }
    return TRUE;
}

// The names are gathered first: removing properties while the window's list is being walked is
// allowed only for the one in hand.
void remove_every_event_callback(HWND window)
{
    if (!::IsWindow(window)) {
        return;
    }
    std::vector<std::wstring> names;
    ::EnumPropsExW(window, collect_callback_property, reinterpret_cast<LPARAM>(&names));
    for (const std::wstring& name : names) {
        ::RemovePropW(window, name.c_str());
    }
}

// ---- The sink and its owner ----

// Once this has run the sink delivers nothing to the object and can outlive it.
void forget_owner(EventSink& sink)
{
    ComLineObject* owner = sink.owner;
    if (owner == nullptr) {
        return;
    }
    sink.owner = nullptr;
    remove_every_event_callback(owner->container_window);
    if (owner->event_sink == &sink) {
        owner->event_sink = nullptr;
    }
}

void store_result(std::int64_t return_kind, const EventReturn& returned, VARIANT* result)
{
    if (result == nullptr || return_kind == EVENT_RETURNS_NOTHING || return_kind == EVENT_RETURNS_VARIANT) {
        return;
    }
    // Whatever the catch-all left there is replaced, never leaked.
    ::VariantClear(result);
    switch (return_kind) {
    case EVENT_RETURNS_INTEGER:
        V_VT(result) = VT_I8;
        V_I8(result) = returned.integer;
        break;
    case EVENT_RETURNS_REAL:
        V_VT(result) = VT_R8;
        V_R8(result) = returned.real;
        break;
    case EVENT_RETURNS_TEXT:
        if (BSTR text = make_bstr(returned.text.c_str())) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = text;
        }
        break;
    default:
        break;
    }
}

void call_event_callback(HWND window, ComLineObject* owner, std::wstring_view event_name,
                         std::int64_t argument_count, VARIANT* result)
{
    const std::wstring callback_name = property_name(event_name, EVENT_CALLBACK_SUFFIX);
    EventCallback callback = callback_of(::GetPropW(window, callback_name.c_str()));
    if (callback == nullptr) {
        return;
    }
    const std::wstring kind_name = property_name(event_name, EVENT_RETURN_KIND_SUFFIX);
    const std::int64_t kind =
        known_return_kind(reinterpret_cast<std::intptr_t>(::GetPropW(window, kind_name.c_str())));
    EventReturn returned = callback(owner, event_name, argument_count,
                                    kind == EVENT_RETURNS_VARIANT ? result : nullptr);
    store_result(kind, returned, result);
}

void deliver(EventSink& sink, std::wstring_view event_name, std::int64_t argument_count, VARIANT* result)
{
    if (sink.catch_all != nullptr && sink.owner != nullptr) {
        sink.catch_all(sink.owner, event_name, argument_count,
                       sink.catch_all_kind == EVENT_RETURNS_VARIANT ? result : nullptr);
    }
    // The catch-all may have disconnected the object.
    ComLineObject* owner = sink.owner;
    if (owner != nullptr && owner->container_window != nullptr) {
        call_event_callback(owner->container_window, owner, event_name, argument_count, result);
    }
}

// ---- Connecting ----

struct Connection {
    ComPtr<IConnectionPoint> point;
    IID event_interface{};
    ComPtr<ITypeInfo> event_type_info;
};

// Objects that describe no interface of their own may still describe their class.
HRESULT class_type_info(IDispatch* dispatch, ComPtr<ITypeInfo>& info)
{
    ComPtr<IProvideClassInfo> provider;
    HRESULT hr = dispatch->QueryInterface(IID_IProvideClassInfo, provider.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    hr = provider->GetClassInfo(info.put());
    return SUCCEEDED(hr) && !info ? E_NOTIMPL : hr;
}

HRESULT object_type_info(IDispatch* dispatch, ComPtr<ITypeInfo>& info)
{
    UINT count = 0;
    HRESULT hr = dispatch->GetTypeInfoCount(&count);
    if (SUCCEEDED(hr) && count == 0) {
        hr = E_NOTIMPL;
    }
    if (SUCCEEDED(hr)) {
        hr = dispatch->GetTypeInfo(0, INVOKE_LOCALE, info.put());
        if (SUCCEEDED(hr) && !info) {
            hr = E_NOTIMPL;
        }
    }
    if (SUCCEEDED(hr)) {
        return hr;
    }
    return SUCCEEDED(class_type_info(dispatch, info)) ? S_OK : hr;
}

HRESULT object_type_library(IDispatch* dispatch, ComPtr<ITypeLib>& library)
{
    ComPtr<ITypeInfo> info;
    HRESULT hr = object_type_info(dispatch, info);
    if (FAILED(hr)) {
        return hr;
    }
    UINT index = 0;
    hr = info->GetContainingTypeLib(library.put(), &index);
    return SUCCEEDED(hr) && !library ? E_NOTIMPL : hr;
}

HRESULT described_interface(ITypeLib* library, REFIID iid, ComPtr<ITypeInfo>& info)
{
    HRESULT hr = library->GetTypeInfoOfGuid(iid, info.put());
    return SUCCEEDED(hr) && !info ? TYPE_E_ELEMENTNOTFOUND : hr;
}

HRESULT named_connection(IConnectionPointContainer* container, ITypeLib* library, REFIID iid,
                         Connection& connection)
{
    HRESULT hr = described_interface(library, iid, connection.event_type_info);
    if (FAILED(hr)) {
        return hr;
    }
    hr = container->FindConnectionPoint(iid, connection.point.put());
    if (SUCCEEDED(hr) && !connection.point) {
        hr = CONNECT_E_NOCONNECTION;
    }
    connection.event_interface = iid;
    return hr;
}

HRESULT first_described_connection(IConnectionPointContainer* container, ITypeLib* library,
                                   Connection& connection)
{
    ComPtr<IEnumConnectionPoints> points;
    HRESULT hr = container->EnumConnectionPoints(points.put());
    if (FAILED(hr)) {
        return hr;
    }
    if (!points) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    ComPtr<IConnectionPoint> point;
    while (points->Next(1, point.put(), nullptr) == S_OK && point) {
        IID iid{};
        if (SUCCEEDED(point->GetConnectionInterface(&iid)) &&
            SUCCEEDED(described_interface(library, iid, connection.event_type_info))) {
            connection.point = std::move(point);
            connection.event_interface = iid;
            return S_OK;
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT find_connection(IDispatch* dispatch, const IID* event_interface, Connection& connection)
{
    ComPtr<ITypeLib> library;
    HRESULT hr = object_type_library(dispatch, library);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IConnectionPointContainer> container;
    hr = dispatch->QueryInterface(IID_IConnectionPointContainer, container.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    if (event_interface != nullptr) {
        return named_connection(container.get(), library.get(), *event_interface, connection);
    }
    return first_described_connection(container.get(), library.get(), connection);
}

HRESULT connect(ComLineObject* object, const IID* event_interface)
{
    Connection connection;
    HRESULT hr = find_connection(object->dispatch, event_interface, connection);
    if (FAILED(hr)) {
        return hr;
    }
    auto* sink = new (std::nothrow) EventSink();
    if (sink == nullptr) {
        return E_OUTOFMEMORY;
    }
    sink->reference_count = 1;
    sink->event_interface = connection.event_interface;
    sink->type_info = std::move(connection.event_type_info);
    sink->owner = object;
    object->event_sink = sink;
    hr = connection.point->Advise(sink, &sink->cookie);
    if (FAILED(hr)) {
        sink->owner = nullptr;
        object->event_sink = nullptr;
    }
    // From here on the connection point holds the sink; the object only points at it.
    sink->Release();
    return hr;
}

HRESULT ensure_connected(ComLineObject* object, const IID* event_interface)
{
    return object->event_sink != nullptr ? S_OK : connect(object, event_interface);
}

HRESULT unadvise(ComLineObject* object, EventSink& sink)
{
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = object->dispatch->QueryInterface(IID_IConnectionPointContainer, container.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(sink.event_interface, point.put());
    if (FAILED(hr)) {
        return hr;
    }
    if (!point) {
        return CONNECT_E_NOCONNECTION;
    }
    return point->Unadvise(sink.cookie);
}

// The sink may be released for the last time inside Unadvise; the reference held here keeps it
// readable until the owner has been let go.
HRESULT disconnect(ComLineObject* object, bool forget_even_on_failure)
{
    EventSink* sink = object->event_sink;
    if (sink == nullptr) {
        return S_OK;
    }
    sink->AddRef();
    const HRESULT hr = unadvise(object, *sink);
    if (SUCCEEDED(hr) || forget_even_on_failure) {
        forget_owner(*sink);
    }
    sink->Release();
    return hr;
}

HRESULT attach(ComLineObject* object, std::wstring_view event_name, EventCallback callback,
               std::int64_t return_kind, const IID* event_interface)
{
    if (event_name.empty()) {
        if (callback == nullptr) {
            return disconnect(object, false);
        }
        const HRESULT hr = ensure_connected(object, event_interface);
        if (SUCCEEDED(hr)) {
            object->event_sink->catch_all = callback;
            object->event_sink->catch_all_kind = catch_all_return_kind(return_kind);
        }
        return hr;
    }
    HWND window = object->container_window;
    if (window == nullptr) {
        return E_FAIL;
    }
    if (callback == nullptr) {
        remove_event_callback(window, event_name);
        return S_OK;
    }
    HRESULT hr = store_event_callback(window, event_name, callback, return_kind);
    if (FAILED(hr)) {
        return hr;
    }
    hr = ensure_connected(object, event_interface);
    if (FAILED(hr)) {
        remove_event_callback(window, event_name);
    }
    return hr;
}

// ---- Parameters of the event being delivered ----

HRESULT event_parameters(const ComLineObject* object, std::int64_t number, DISPPARAMS*& parameters)
{
    const EventSink* sink = object->event_sink;
    if (sink == nullptr || sink->current_parameters == nullptr) {
        return E_FAIL;
    }
    parameters = sink->current_parameters;
    if (number < 1 || number > static_cast<std::int64_t>(parameters->cArgs)) {
        return E_INVALIDARG;
    }
    return S_OK;
}

// The same argument that DispGetParam documents for a position: a named one with that position
// as its DISPID first, else the positional one counted from the back.
VARIANT* argument_at(DISPPARAMS& parameters, std::int64_t number)
{
    const auto position = static_cast<DISPID>(number - 1);
    for (UINT named = 0; named < parameters.cNamedArgs; ++named) {
        if (parameters.rgdispidNamedArgs[named] == position) {
            return &parameters.rgvarg[named];
        }
    }
    const auto positional = static_cast<std::int64_t>(parameters.cArgs) - parameters.cNamedArgs;
    if (number - 1 >= positional) {
        return nullptr;
    }
    return &parameters.rgvarg[parameters.cArgs - static_cast<UINT>(number)];
}

HRESULT find_argument(const ComLineObject* object, std::int64_t number, VARIANT*& argument)
{
    argument = nullptr;
    DISPPARAMS* parameters = nullptr;
    HRESULT hr = event_parameters(object, number, parameters);
    if (FAILED(hr)) {
        return hr;
    }
    argument = argument_at(*parameters, number);
    return argument == nullptr ? DISP_E_PARAMNOTFOUND : S_OK;
}

// The argument is found here rather than by DispGetParam's own search, which some systems make
// among the positional arguments first, so that named arguments would be misread; DispGetParam
// still converts it.
HRESULT read_parameter(const ComLineObject* object, std::int64_t number, VARTYPE type, VARIANT* value)
{
    VARIANT* argument = nullptr;
    const HRESULT hr = find_argument(object, number, argument);
    if (FAILED(hr)) {
        return hr;
    }
    DISPPARAMS single{argument, nullptr, 1, 0};
    UINT argument_error = 0;
    return ::DispGetParam(&single, 0, type, value, &argument_error);
}

}  // namespace

// ---- EventSink ----

HRESULT STDMETHODCALLTYPE EventSink::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == event_interface) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE EventSink::AddRef()
{
    return static_cast<ULONG>(++reference_count);
}

ULONG STDMETHODCALLTYPE EventSink::Release()
{
    const std::int64_t count = --reference_count;
    if (count == 0) {
        forget_owner(*this);
        delete this;
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = ComPtr<ITypeInfo>(type_info).detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE EventSink::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                                   DISPID* members)
{
    return ::DispGetIDsOfNames(type_info.get(), names, count, members);
}

HRESULT STDMETHODCALLTYPE EventSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                            VARIANT* result, EXCEPINFO*, UINT*)
{
    UniqueBstr name;
    UINT names_found = 0;
    HRESULT hr = type_info->GetNames(member, name.put(), 1, &names_found);
    if (FAILED(hr)) {
        return hr;
    }
    if (names_found == 0 || !name) {
        return E_OUTOFMEMORY;
    }
    // A source that passes no parameters at all fires an event without arguments.
    DISPPARAMS no_parameters{};
    DISPPARAMS* delivered = parameters != nullptr ? parameters : &no_parameters;
    // A callback may disconnect the object, which lets the connection point release the sink.
    AddRef();
    DISPPARAMS* previous = std::exchange(current_parameters, delivered);
    deliver(*this, {name.get(), ::SysStringLen(name.get())}, static_cast<std::int64_t>(delivered->cArgs), result);
    current_parameters = previous;
    Release();
    return S_OK;
}

// ---- Operations ----

std::int64_t attach_event_handler(ComLineObject* object, std::wstring_view event_name, EventCallback callback,
                                  std::int64_t return_kind, const IID* event_interface)
{
    return report_outcome(object, attach(object, event_name, callback, known_return_kind(return_kind), event_interface));
}

void detach_event_sink(ComLineObject* object)
{
    if (object != nullptr) {
        (void)disconnect(object, true);
    }
}

std::int64_t event_param_integer(ComLineObject* object, std::int64_t number)
{
    UniqueVariant value;
    const HRESULT hr = read_parameter(object, number, VT_I8, value.get());
    report_outcome(object, hr);
    return SUCCEEDED(hr) ? V_I8(value.get()) : 0;
}

IUnknown* event_param_object(ComLineObject* object, std::int64_t number, std::int64_t object_type)
{
    const VARTYPE type = object_type == VT_DISPATCH ? VT_DISPATCH : VT_UNKNOWN;
    UniqueVariant value;
    const HRESULT hr = read_parameter(object, number, type, value.get());
    report_outcome(object, hr);
    if (FAILED(hr)) {
        return nullptr;
    }
    VARIANT taken = value.release();
    return type == VT_DISPATCH ? V_DISPATCH(&taken) : V_UNKNOWN(&taken);
}

double event_param_real(ComLineObject* object, std::int64_t number)
{
    UniqueVariant value;
    const HRESULT hr = read_parameter(object, number, VT_R8, value.get());
    report_outcome(object, hr);
    return SUCCEEDED(hr) ? V_R8(value.get()) : 0.0;
}

std::wstring event_param_text(ComLineObject* object, std::int64_t number)
{
    UniqueVariant value;
    const HRESULT hr = read_parameter(object, number, VT_BSTR, value.get());
    report_outcome(object, hr);
    if (FAILED(hr) || V_BSTR(value.get()) == nullptr) {
        return {};
    }
    return std::wstring(V_BSTR(value.get()), ::SysStringLen(V_BSTR(value.get())));
}

std::int64_t event_param_by_ref(ComLineObject* object, std::int64_t number, void** address, VARIANT** variant)
{
    if (address != nullptr) {
        *address = nullptr;
    }
    if (variant != nullptr) {
        *variant = nullptr;
    }
    VARIANT* argument = nullptr;
    const HRESULT hr = find_argument(object, number, argument);
    report_outcome(object, hr);
    if (argument == nullptr) {
        return 0;
    }
    if (variant != nullptr) {
        *variant = argument;
    }
    if ((V_VT(argument) & VT_BYREF) == 0) {
        return 0;
    }
    if (address != nullptr) {
        *address = V_BYREF(argument);
    }
    return V_VT(argument) & ~VT_BYREF;
}

}  // namespace tovalen::comline
