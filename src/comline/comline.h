// The COM automation layer: automation objects held by the program and driven by textual
// commands, results converted to the caller's types, and collections walked element by element.
// Every operation reports its outcome into the calling thread's error record.
//
// The layer's chief header: a program includes this one and reaches every operation. It gathers
// make_bstr (bstr_hook.h), the command parser (command_parser.h), the per-thread error records
// (error_records.h), and event handling with the EventSink and the operations of hosted controls
// (events.h).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "comline/bstr_hook.h"
#include "comline/command_parser.h"
#include "comline/error_records.h"
#include "comline/events.h"

namespace tovalen::comline {

struct ComLineObject;
struct ComLineEnumeration;

// Call kinds of IDispatch::Invoke; "get" reaches methods and readable properties alike.
inline constexpr WORD CALL_GET = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
inline constexpr LCID INVOKE_LOCALE = 0x400;

// The operations every ComLineObject carries, in their fixed slot order; each takes the record
// first. `prepared` is an optional command parsed beforehand; it stays its owner's.
struct ComLineObjectMethods {
    std::int64_t (*call_method)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    std::int64_t (*release_object)(ComLineObject* object);
    ComLineEnumeration* (*open_enumeration)(ComLineObject* object, std::wstring_view command,
                                            ParsedCommand* prepared);
    IDispatch* (*get_dispatch)(ComLineObject* object);
    std::int64_t (*get_container_window)(ComLineObject* object, bool want_control_number);
    std::int64_t (*set_user_mode)(ComLineObject* object, bool design_mode);
    std::int64_t (*read_date)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    std::int64_t (*read_integer)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    // A new ComLineObject* for VT_DISPATCH, a raw IUnknown* (reference passed on) otherwise.
    void* (*read_object)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared,
                         std::int64_t object_type);
    double (*read_real)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    std::wstring (*read_text)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    VARIANT* (*read_variant)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    std::int64_t (*write_property)(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared);
    std::int64_t (*write_property_ref)(ComLineObject* object, std::wstring_view command,
                                       ParsedCommand* prepared);
    std::int64_t (*attach_event_handler)(ComLineObject* object, std::wstring_view event_name,
                                         EventCallback callback, std::int64_t return_kind,
                                         const IID* event_interface);
    std::int64_t (*event_param_integer)(ComLineObject* object, std::int64_t number);
    IUnknown* (*event_param_object)(ComLineObject* object, std::int64_t number, std::int64_t object_type);
    double (*event_param_real)(ComLineObject* object, std::int64_t number);
    std::wstring (*event_param_text)(ComLineObject* object, std::int64_t number);
    std::int64_t (*event_param_by_ref)(ComLineObject* object, std::int64_t number, void** address,
                                       VARIANT** variant);
};

// The layer's handle on one automation object. Not reference-counted: whoever receives one
// hands it to release_object exactly once.
struct ComLineObject {
    const ComLineObjectMethods* methods;
    IDispatch* dispatch;  // one reference owned; never null in a record handed out
    std::int64_t container_control;
    HWND container_window;
    EventSink* event_sink;
};

struct ComLineEnumerationMethods {
    ComLineObject* (*next_object)(ComLineEnumeration* enumeration);
    VARIANT* (*next_variant)(ComLineEnumeration* enumeration);
    std::int64_t (*reset_enumeration)(ComLineEnumeration* enumeration);
    std::int64_t (*release_enumeration)(ComLineEnumeration* enumeration);
};

// An open walk over a collection. `parent` is not owned and must outlive the enumeration.
struct ComLineEnumeration {
    const ComLineEnumerationMethods* methods;
    ComLineObject* parent;
    IEnumVARIANT* enumerator;  // one reference owned
};

extern const ComLineObjectMethods OBJECT_METHODS;
extern const ComLineEnumerationMethods ENUMERATION_METHODS;

// The number of ComLineObjects that exist; the error records live while it is above 0.
std::int64_t live_object_count();

// Objects: by moniker (name only), by file and class (both), or a running instance (prog_id
// only, a ProgID or a CLSID in braces).
ComLineObject* get_automation_object(std::wstring_view name, std::wstring_view prog_id, bool init_com);
// A new instance through the class factory of a ProgID or braced CLSID. With a window, instead
// an ActiveX control of that class hosted by the system's control hosting (atl.dll) in a container
// control made inside the window and filling it: `container_window` is the window,
// `container_control` the container control's window handle, which release_object destroys.
ComLineObject* create_automation_object(std::wstring_view prog_id, HWND window, bool init_com);
// A ComLineObject for any interface that also offers IDispatch; the caller keeps its reference.
ComLineObject* wrap_interface(IUnknown* object);
std::int64_t release_object(ComLineObject* object);

// Invocation: the outcome as a zero-extended HRESULT, or ALREADY_REPORTED when a member in the
// middle of the path gave no object.
std::int64_t invoke_command(ComLineObject* object, WORD call_kind, VARTYPE requested_type, VARIANT* result,
                            std::wstring_view command, ParsedCommand* prepared);
HRESULT invoke_part(ComLineObject* object, WORD call_kind, IDispatch* target, std::int64_t part,
                    ParsedCommand& command, VARIANT* result);

// The command operations (slots 0 and 2 to 13 of the method table).
std::int64_t call_method(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
ComLineEnumeration* open_enumeration(ComLineObject* object, std::wstring_view command,
                                     ParsedCommand* prepared = nullptr);
IDispatch* get_dispatch(ComLineObject* object);
std::int64_t read_date(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
std::int64_t read_integer(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
void* read_object(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared,
                  std::int64_t object_type);
double read_real(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
std::wstring read_text(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
VARIANT* read_variant(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
std::int64_t write_property(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared = nullptr);
std::int64_t write_property_ref(ComLineObject* object, std::wstring_view command,
                                ParsedCommand* prepared = nullptr);

// A VARIANT handed out by read_variant or next_variant: cleared and freed.
void free_variant(VARIANT* variant);

// The enumeration operations.
ComLineObject* next_object(ComLineEnumeration* enumeration);
VARIANT* next_variant(ComLineEnumeration* enumeration);
std::int64_t reset_enumeration(ComLineEnumeration* enumeration);
std::int64_t release_enumeration(ComLineEnumeration* enumeration);

}  // namespace tovalen::comline
