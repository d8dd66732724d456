// Automation objects: how a ComLineObject is obtained, counted and released.
#include "comline/comline.h"

#include <atomic>

#include "comline/object_records.h"
#include "platform/handles.h"

namespace tovalen::comline {
namespace {

using platform::ComPtr;
using platform::UniqueBstr;
using platform::UniqueCoTaskMemory;

std::atomic<std::int64_t> live_objects{0};

constexpr DWORD CLASS_CONTEXT = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

// A terminated copy of a text view, for calls that take C strings. Short texts stay on the
// stack; a longer one that finds no memory gives null instead of throwing.
class TerminatedText {
public:
    explicit TerminatedText(std::wstring_view text)
    {
        wchar_t* buffer = inline_buffer_;
        if (text.size() >= INLINE_CHARACTERS) {
            buffer = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, (text.size() + 1) * sizeof(wchar_t)));
            heap_buffer_ = buffer;
        }
        if (buffer != nullptr) {
            text.copy(buffer, text.size());
            buffer[text.size()] = L'\0';
        }
        text_ = buffer;
    }
    ~TerminatedText()
    {
        if (heap_buffer_ != nullptr) {
            ::HeapFree(::GetProcessHeap(), 0, heap_buffer_);
        }
    }
    TerminatedText(const TerminatedText&) = delete;
    TerminatedText& operator=(const TerminatedText&) = delete;

    const wchar_t* get() const { return text_; }

private:
    static constexpr std::size_t INLINE_CHARACTERS = 264;
    wchar_t inline_buffer_[INLINE_CHARACTERS];
    wchar_t* heap_buffer_ = nullptr;
    const wchar_t* text_ = nullptr;
};

// make_bstr needs a terminated text; names arrive as views.
UniqueBstr bstr_of(std::wstring_view text)
{
    TerminatedText terminated(text);
    if (terminated.get() == nullptr) {
        return UniqueBstr();
    }
    return UniqueBstr(make_bstr(terminated.get()));
}

HRESULT bind_moniker(std::wstring_view name, ComPtr<IDispatch>& dispatch)
{
    UniqueBstr display_name = bstr_of(name);
    if (!display_name) {
        return E_OUTOFMEMORY;
    }
    return ::CoGetObject(display_name.get(), nullptr, IID_IDispatch, dispatch.put_void());
}

// The class a ProgID (or braced CLSID) names; the text becomes a BSTR through the hook first.
HRESULT class_named(std::wstring_view prog_id, HRESULT (*lookup)(BSTR, CLSID&), CLSID& clsid)
{
    UniqueBstr class_name = bstr_of(prog_id);
    if (!class_name) {
        return E_OUTOFMEMORY;
    }
    return lookup(class_name.get(), clsid);
}

HRESULT class_of_prog_id(BSTR prog_id, CLSID& clsid) { return ::CLSIDFromProgID(prog_id, &clsid); }

HRESULT load_file_with_class(std::wstring_view file, std::wstring_view prog_id, ComPtr<IDispatch>& dispatch)
{
    CLSID clsid{};
    HRESULT hr = class_named(prog_id, class_of_prog_id, clsid);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IClassFactory> factory;
    hr = ::CoGetClassObject(clsid, CLASS_CONTEXT, nullptr, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IPersistFile> persist;
    hr = factory->CreateInstance(nullptr, IID_IPersistFile, persist.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    TerminatedText file_name(file);
    if (file_name.get() == nullptr) {
        return E_OUTOFMEMORY;
    }
    hr = persist->Load(file_name.get(), STGM_READ);
    if (FAILED(hr)) {
        return hr;
    }
    return persist.query(IID_IDispatch, dispatch.put_void());
}

// A braced CLSID must also have a ProgID registered, so that a stray identifier is not accepted.
HRESULT class_of_running_instance(BSTR prog_id, CLSID& clsid)
{
    if (prog_id[0] != L'{') {
        return ::CLSIDFromProgID(prog_id, &clsid);
    }
    HRESULT hr = ::CLSIDFromString(prog_id, &clsid);
    if (FAILED(hr)) {
        return hr;
    }
    UniqueCoTaskMemory registered_prog_id;
    return ::ProgIDFromCLSID(clsid, reinterpret_cast<LPOLESTR*>(registered_prog_id.put()));
}

HRESULT find_running_instance(std::wstring_view prog_id, ComPtr<IDispatch>& dispatch)
{
    CLSID clsid{};
    HRESULT hr = class_named(prog_id, class_of_running_instance, clsid);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IUnknown> instance;
    hr = ::GetActiveObject(clsid, nullptr, instance.put());
    if (FAILED(hr)) {
        return hr;
    }
    return instance.query(IID_IDispatch, dispatch.put_void());
}

HRESULT class_of(BSTR prog_id, CLSID& clsid)
{
    if (prog_id[0] == L'{') {
        return ::CLSIDFromString(prog_id, &clsid);
    }
    return ::CLSIDFromProgID(prog_id, &clsid);
}

HRESULT create_instance(std::wstring_view prog_id, ComPtr<IDispatch>& dispatch)
{
    CLSID clsid{};
    HRESULT hr = class_named(prog_id, class_of, clsid);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IClassFactory> factory;
    hr = ::CoGetClassObject(clsid, CLASS_CONTEXT, nullptr, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(nullptr, IID_IDispatch, dispatch.put_void());
    if (SUCCEEDED(hr)) {
        return hr;
    }
    // Some classes only hand out IUnknown from their factory and offer IDispatch afterwards.
    ComPtr<IUnknown> instance;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, instance.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    return instance.query(IID_IDispatch, dispatch.put_void());
}

HRESULT create_control_in(std::wstring_view prog_id, HWND window, ComPtr<IDispatch>& dispatch,
                          std::int64_t& container_control)
{
    CLSID clsid{};
    const HRESULT hr = class_named(prog_id, class_of, clsid);
    if (FAILED(hr)) {
        return hr;
    }
    return create_hosted_control(clsid, window, dispatch, container_control);
}

// The record for an interface a creator obtained; a success code with no interface is refused,
// since a record is never handed out without its IDispatch.
ComLineObject* finish_creation(HRESULT& hr, ComPtr<IDispatch>& dispatch)
{
    if (FAILED(hr)) {
        return nullptr;
    }
    if (!dispatch) {
        hr = E_NOINTERFACE;
        return nullptr;
    }
    ComLineObject* object = make_object_record(dispatch.detach());
    if (object == nullptr) {
        hr = E_OUTOFMEMORY;
    }
    return object;
}

void* read_object_slot(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared,
                       std::int64_t object_type)
{
    return read_object(object, command, prepared, object_type);
}

}  // namespace

const ComLineObjectMethods OBJECT_METHODS{
    call_method,
    release_object,
    open_enumeration,
    get_dispatch,
    get_container_window,
    set_user_mode,
    read_date,
    read_integer,
    read_object_slot,
    read_real,
    read_text,
    read_variant,
    write_property,
    write_property_ref,
    attach_event_handler,
    event_param_integer,
    event_param_object,
    event_param_real,
    event_param_text,
    event_param_by_ref,
};

std::int64_t live_object_count()
{
    return live_objects.load();
}

ComLineObject* make_object_record(IDispatch* dispatch)
{
    auto* object = static_cast<ComLineObject*>(
        ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ComLineObject)));
    if (object == nullptr) {
        dispatch->Release();
        return nullptr;
    }
    object->methods = &OBJECT_METHODS;
    object->dispatch = dispatch;
    live_objects.fetch_add(1);
    return object;
}

ComLineObject* get_automation_object(std::wstring_view name, std::wstring_view prog_id, bool init_com)
{
    if (init_com) {
        // Each call that asks initialises again; the apartment's own count balances nothing here.
        (void)::CoInitialize(nullptr);
    }
    HRESULT hr = E_INVALIDARG;
    ComPtr<IDispatch> dispatch;
    if (!name.empty() && prog_id.empty()) {
        hr = bind_moniker(name, dispatch);
    } else if (!name.empty()) {
        hr = load_file_with_class(name, prog_id, dispatch);
    } else if (!prog_id.empty()) {
        hr = find_running_instance(prog_id, dispatch);
    }
    ComLineObject* object = finish_creation(hr, dispatch);
    record_error(object, code_of(hr), false, {});
    return object;
}

ComLineObject* create_automation_object(std::wstring_view prog_id, HWND window, bool init_com)
{
    if (init_com) {
        (void)::CoInitialize(nullptr);
    }
    HRESULT hr = E_INVALIDARG;
    ComPtr<IDispatch> dispatch;
    std::int64_t container_control = 0;
    if (!prog_id.empty() && window != nullptr) {
        hr = create_control_in(prog_id, window, dispatch, container_control);
    } else if (!prog_id.empty()) {
        hr = create_instance(prog_id, dispatch);
    }
    ComLineObject* object = finish_creation(hr, dispatch);
    if (object != nullptr) {
        object->container_control = container_control;
        object->container_window = container_control != 0 ? window : nullptr;
    } else {
        destroy_container_control(container_control);
    }
    record_error(object, code_of(hr), false, {});
    return object;
}

ComLineObject* wrap_interface(IUnknown* interface_pointer)
{
    HRESULT hr = E_INVALIDARG;
    ComPtr<IDispatch> dispatch;
    if (interface_pointer != nullptr) {
        hr = interface_pointer->QueryInterface(IID_IDispatch, dispatch.put_void());
    }
    ComLineObject* object = finish_creation(hr, dispatch);
    record_error(object, code_of(hr), false, {});
    return object;
}

std::int64_t release_object(ComLineObject* object)
{
    if (object == nullptr) {
        return 0;
    }
    // A sink still connected would outlive its owner and point at freed memory.
    detach_event_sink(object);
    if (object->dispatch != nullptr) {
        object->dispatch->Release();
    }
    destroy_container_control(object->container_control);
    ::HeapFree(::GetProcessHeap(), 0, object);
    if (live_objects.fetch_sub(1) == 1) {
        free_error_records();
    }
    return 0;
}

IDispatch* get_dispatch(ComLineObject* object)
{
    object->dispatch->AddRef();
    record_error(object, 0, false, {});
    return object->dispatch;
}

}  // namespace tovalen::comline
