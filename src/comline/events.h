// Event handling of the automation layer: the EventSink that an object's connection point calls,
// the callbacks it delivers events to, and the operations that read an event's parameters while
// it is being delivered.
//
// Calling form of a callback (EventCallback in comline.h), the same for the catch-all and for a
// per-event callback:
//
//     EventReturn callback(ComLineObject* object, std::wstring_view event_name,
//                          std::int64_t argument_count, VARIANT* result);
//
// `object` is the ComLineObject the handler was attached to, `event_name` the event's first
// name in the event interface's type information, `argument_count` the number of arguments
// (positional and named together). During the call the event_param_ operations read the
// arguments. What happens to the returned EventReturn depends on the handler's return kind:
//   0 nothing is returned; `result` is null and the EventReturn is ignored;
//   1 `integer` becomes the event's VT_I8 result;
//   2 `real` becomes its VT_R8 result;
//   3 `text` becomes its VT_BSTR result, made with make_bstr;
//   4 the callback gets the event source's result VARIANT in `result` (null when the source
//     wants none) and fills it itself; the EventReturn is ignored.
// The catch-all callback has only kinds 0 and 4 (every non-zero kind is taken as 4), since one
// callback answers events of every result type. Per-event results replace whatever the
// catch-all put into the result.
//
// Part of the layer's chief header, comline/comline.h, which is the one to include.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handles.h"

namespace tovalen::comline {

struct ComLineObject;

// What an event callback hands back; its return kind says which field counts.
struct EventReturn {
    std::int64_t integer = 0;
    double real = 0.0;
    std::wstring text;
};

// An event callback: the object, the event's name, its argument count, and the event source's
// result VARIANT for the return kind that fills it itself (null otherwise).
using EventCallback = EventReturn (*)(ComLineObject* object, std::wstring_view event_name,
                                      std::int64_t argument_count, VARIANT* result);

// Return kinds of an event handler.
inline constexpr std::int64_t EVENT_RETURNS_NOTHING = 0;
inline constexpr std::int64_t EVENT_RETURNS_INTEGER = 1;
inline constexpr std::int64_t EVENT_RETURNS_REAL = 2;
inline constexpr std::int64_t EVENT_RETURNS_TEXT = 3;
inline constexpr std::int64_t EVENT_RETURNS_VARIANT = 4;

// Per-event callbacks live as properties of the object's container window, named after the
// event with these suffixes: the callback itself and its return kind.
inline constexpr std::wstring_view EVENT_CALLBACK_SUFFIX = L"_ComLine";
inline constexpr std::wstring_view EVENT_RETURN_KIND_SUFFIX = L"_RETURN_ComLine";

// The layer's own IDispatch through which an object's connection point delivers its events.
// Made by the first attach_event_handler of an object; the connection point holds the only
// lasting reference, and the owner's `event_sink` points at it without owning it.
struct EventSink final : IDispatch {
    std::int64_t reference_count;
    DWORD cookie;
    IID event_interface;
    platform::ComPtr<ITypeInfo> type_info;
    EventCallback catch_all;
    std::int64_t catch_all_kind;
    DISPPARAMS* current_parameters;  // the event being delivered, null outside one
    ComLineObject* owner;            // null once the sink is detached from its object

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* members) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;
};

// Slot 14. An empty event name sets the catch-all callback, or with a null callback disconnects
// the object; a named event sets (or with a null callback removes) the callback properties on
// the container window. The first handler connects the object through `event_interface`, or
// without one through the first connection point whose interface the object's type library
// describes.
std::int64_t attach_event_handler(ComLineObject* object, std::wstring_view event_name, EventCallback callback,
                                  std::int64_t return_kind, const IID* event_interface);

// Slots 15 to 19: parameter `number` (1-based) of the event being delivered to the object.
std::int64_t event_param_integer(ComLineObject* object, std::int64_t number);
// VT_DISPATCH (9) asks for IDispatch, anything else for IUnknown; the reference is the caller's.
IUnknown* event_param_object(ComLineObject* object, std::int64_t number, std::int64_t object_type);
double event_param_real(ComLineObject* object, std::int64_t number);
std::wstring event_param_text(ComLineObject* object, std::int64_t number);
// For a parameter passed by reference: its type without VT_BYREF, the referenced storage in
// `*address`; 0 and a null `*address` otherwise. `*variant` receives the argument's own VARIANT
// either way. Both out pointers are optional and valid only during the delivery.
std::int64_t event_param_by_ref(ComLineObject* object, std::int64_t number, void** address, VARIANT** variant);

// Disconnects an object's sink, if it has one, so that the object can go: the connection point
// lets go of the sink and the sink forgets the object. release_object needs this before it frees
// a record that still has handlers attached.
void detach_event_sink(ComLineObject* object);

// Slots 4 and 5: the operations of an object that hosts an ActiveX control (made by
// create_automation_object with a window). The hosting site is the one in the container
// control's window.
std::int64_t get_container_window(ComLineObject* object, bool want_control_number);
std::int64_t set_user_mode(ComLineObject* object, bool design_mode);

}  // namespace tovalen::comline
