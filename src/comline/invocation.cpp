// Invocation: walking a command's path of members, calling the last one, and turning its result
// into the operation's return value.
#include "comline/comline.h"

#include <cmath>
#include <cwchar>

#include "comline/object_records.h"
#include "platform/handles.h"

namespace tovalen::comline {
namespace {

using platform::UniqueVariant;

DISPID PROPERTY_PUT_NAME = DISPID_PROPERTYPUT;

constexpr double UNIX_EPOCH_AS_OLE_DATE = 25569.0;
constexpr double SECONDS_PER_DAY = 86400.0;

// The program runs on Windows 7 and later (it is built for them), where VT_I8 results exist.
constexpr VARTYPE INTEGER_RESULT_TYPE = VT_I8;

// An OLE date counts days from 1899-12-30 in its integer part, and its fraction is the time of
// day whatever the sign: -1.25 is 1899-12-29 06:00, not 1899-12-28 18:00.
std::int64_t seconds_since_unix_epoch(double ole_date)
{
    const double day = std::trunc(ole_date);
    const double time_of_day = std::fabs(ole_date - day);
    return std::llround((day - UNIX_EPOCH_AS_OLE_DATE + time_of_day) * SECONDS_PER_DAY);
}

constexpr VARTYPE requested_object_type(std::int64_t object_type)
{
    return object_type == VT_DISPATCH ? VT_DISPATCH : VT_UNKNOWN;
}

bool is_property_put(WORD call_kind)
{
    return (call_kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

void free_text(BSTR& text)
{
    if (text != nullptr) {
        ::SysFreeString(text);
        text = nullptr;
    }
}

void free_exception_texts(EXCEPINFO& exception)
{
    free_text(exception.bstrSource);
    free_text(exception.bstrDescription);
    free_text(exception.bstrHelpFile);
}

// Widening one integer to VT_I8 gives what VariantChangeType gives, without its general machinery
// on the layer's most frequent conversion.
bool widen_to_i8(VARIANT& value)
{
    std::int64_t widened = 0;
    switch (V_VT(&value)) {
    case VT_I1:
        widened = V_I1(&value);
        break;
    case VT_UI1:
        widened = V_UI1(&value);
        break;
    case VT_I2:
        widened = V_I2(&value);
        break;
    case VT_UI2:
        widened = V_UI2(&value);
        break;
    case VT_I4:
        widened = V_I4(&value);
        break;
    case VT_UI4:
        widened = V_UI4(&value);
        break;
    case VT_INT:
        widened = V_INT(&value);
        break;
    case VT_UINT:
        widened = V_UINT(&value);
        break;
    case VT_BOOL:
        widened = V_BOOL(&value);
        break;
    default:
        return false;
    }
    V_VT(&value) = VT_I8;
    V_I8(&value) = widened;
    return true;
}

HRESULT convert_result(VARIANT& result, VARTYPE requested_type)
{
    if (requested_type == VT_I8 && widen_to_i8(result)) {
        return S_OK;
    }
    return ::VariantChangeType(&result, &result, VARIANT_LOCALBOOL, requested_type);
}

// A member in the middle of a path must give an object; anything else is converted the way a
// final result would be and is never used as an object unconverted.
HRESULT as_next_target(VARIANT& value)
{
    if (V_VT(&value) == VT_DISPATCH) {
        return S_OK;
    }
    return ::VariantChangeType(&value, &value, VARIANT_LOCALBOOL, VT_DISPATCH);
}

std::wstring null_object_detail(BSTR member)
{
    std::wstring detail = L"The '";
    if (member != nullptr) {
        detail.append(member, ::SysStringLen(member));
    }
    detail += L"' property returned a NULL object!";
    return detail;
}

// Walks every part but the last; the returned target (one reference) is null when the outcome
// is not to go on. A one-part command needs no reference of its own: the record holds one
// throughout the call.
std::int64_t walk_path(ComLineObject* object, ParsedCommand& command, IDispatch*& target)
{
    target = object->dispatch;
    if (command.part_count == 1) {
        return 0;
    }
    target->AddRef();
    for (std::int64_t part = 1; part < command.part_count; ++part) {
        UniqueVariant member;
        HRESULT hr = invoke_part(object, CALL_GET, target, part, command, member.get());
        target->Release();
        target = nullptr;
        if (SUCCEEDED(hr)) {
            hr = as_next_target(*member.get());
        }
        if (FAILED(hr)) {
            return code_of(hr);
        }
        VARIANT taken = member.release();
        target = V_DISPATCH(&taken);
        if (target == nullptr) {
            record_error(object, CODE_S_FALSE, false, null_object_detail(command.names[part]));
            return ALREADY_REPORTED;
        }
    }
    return 0;
}

// A put sends its value as the one named argument; without one ("Count =") the DISPPARAMS would
// name an argument that is not there, which an object reading rgvarg[0] crashes on.
bool put_without_value(WORD call_kind, const ParsedCommand& command)
{
    return is_property_put(call_kind) && command.argument_counts[command.part_count] == 0;
}

std::int64_t invoke_parsed(ComLineObject* object, WORD call_kind, VARTYPE requested_type, VARIANT* result,
                           ParsedCommand& command)
{
    if (put_without_value(call_kind, command)) {
        return code_of(E_INVALIDARG);
    }
    IDispatch* target = nullptr;
    std::int64_t outcome = walk_path(object, command, target);
    if (target == nullptr) {
        return outcome;
    }
    HRESULT hr = invoke_part(object, call_kind, target, command.part_count, command, result);
    if (command.part_count > 1) {
        target->Release();
    }
    if (SUCCEEDED(hr) && result != nullptr && requested_type != VT_EMPTY && V_VT(result) != requested_type) {
        hr = convert_result(*result, requested_type);
    }
    return code_of(hr);
}

bool nothing_to_run(std::wstring_view command, const ParsedCommand* prepared)
{
    return command.empty() && prepared == nullptr;
}

// Runs the frame shared by the command operations and reports the outcome, unless a null object
// in the path has already been reported.
std::int64_t run_and_report(ComLineObject* object, WORD call_kind, VARTYPE requested_type, VARIANT* result,
                            std::wstring_view command, ParsedCommand* prepared)
{
    std::int64_t outcome = nothing_to_run(command, prepared)
                               ? code_of(E_INVALIDARG)
                               : invoke_command(object, call_kind, requested_type, result, command, prepared);
    if (outcome != ALREADY_REPORTED) {
        record_error(object, outcome, false, {});
    }
    return outcome;
}

std::int64_t run_without_result(ComLineObject* object, WORD call_kind, std::wstring_view command,
                                ParsedCommand* prepared)
{
    std::int64_t outcome = run_and_report(object, call_kind, VT_EMPTY, nullptr, command, prepared);
    return outcome == ALREADY_REPORTED ? CODE_S_FALSE : outcome;
}

}  // namespace

void settle_exception(const ComLineObject* object, HRESULT code, EXCEPINFO& exception)
{
    if (code != DISP_E_EXCEPTION) {
        // Only an exception carries these texts, but an object that fills them anyway must not leak.
        free_exception_texts(exception);
        return;
    }
    if (exception.pfnDeferredFillIn != nullptr) {
        exception.pfnDeferredFillIn(&exception);
    }
    if (exception.bstrDescription != nullptr) {
        record_error(object, code_of(code), true,
                     {exception.bstrDescription, ::SysStringLen(exception.bstrDescription)});
    } else {
        record_error(object, code_of(code), true, {});
    }
    free_exception_texts(exception);
}

HRESULT invoke_part(ComLineObject* object, WORD call_kind, IDispatch* target, std::int64_t part,
                    ParsedCommand& command, VARIANT* result)
{
    DISPID member = DISPID_UNKNOWN;
    HRESULT hr = target->GetIDsOfNames(IID_NULL, &command.names[part], 1, INVOKE_LOCALE, &member);
    if (FAILED(hr)) {
        return hr;
    }
    const auto count = static_cast<UINT>(command.argument_counts[part]);
    DISPPARAMS parameters{};
    parameters.cArgs = count;
    parameters.rgvarg = count == 0 ? nullptr : command.arguments[part] + (PART_ARGUMENT_SLOTS - count);
    if (is_property_put(call_kind)) {
        parameters.cNamedArgs = 1;
        parameters.rgdispidNamedArgs = &PROPERTY_PUT_NAME;
    }
    EXCEPINFO exception{};
    UINT argument_error = 0;
    hr = target->Invoke(member, IID_NULL, INVOKE_LOCALE, call_kind, &parameters, result, &exception,
                        &argument_error);
    settle_exception(object, hr, exception);
    return hr;
}

std::int64_t invoke_command(ComLineObject* object, WORD call_kind, VARTYPE requested_type, VARIANT* result,
                            std::wstring_view command, ParsedCommand* prepared)
{
    if (prepared != nullptr) {
        return invoke_parsed(object, call_kind, requested_type, result, *prepared);
    }
    // Parsed for this one call: a one-part command needs no heap memory.
    OnePartCommandStorage storage;
    ParsedCommand* parsed = nullptr;
    std::int64_t outcome = parse_command_into(command, storage, &parsed);
    if (!succeeded(outcome) || parsed == nullptr) {
        return succeeded(outcome) ? code_of(E_UNEXPECTED) : outcome;
    }
    outcome = invoke_parsed(object, call_kind, requested_type, result, *parsed);
    release_parsed_command(parsed, storage);
    return outcome;
}

std::int64_t call_method(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    return run_without_result(object, DISPATCH_METHOD, command, prepared);
}

std::int64_t write_property(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    return run_without_result(object, DISPATCH_PROPERTYPUT, command, prepared);
}

std::int64_t write_property_ref(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    return run_without_result(object, DISPATCH_PROPERTYPUTREF, command, prepared);
}

std::wstring read_text(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    UniqueVariant result;
    std::int64_t outcome = run_and_report(object, CALL_GET, VT_BSTR, result.get(), command, prepared);
    if (!succeeded(outcome) || V_VT(result.get()) != VT_BSTR || V_BSTR(result.get()) == nullptr) {
        return {};
    }
    // Up to the first NUL: the caller's text type ends there.
    return std::wstring(V_BSTR(result.get()));
}

std::int64_t read_integer(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    UniqueVariant result;
    std::int64_t outcome = run_and_report(object, CALL_GET, INTEGER_RESULT_TYPE, result.get(), command, prepared);
    if (!succeeded(outcome)) {
        return 0;
    }
    switch (V_VT(result.get())) {
    case VT_I8:
        return V_I8(result.get());
    case VT_I4:
        return V_I4(result.get());
    default:
        return 0;
    }
}

double read_real(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    UniqueVariant result;
    std::int64_t outcome = run_and_report(object, CALL_GET, VT_R8, result.get(), command, prepared);
    if (!succeeded(outcome) || V_VT(result.get()) != VT_R8) {
        return 0.0;
    }
    return V_R8(result.get());
}

std::int64_t read_date(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    UniqueVariant result;
    std::int64_t outcome = run_and_report(object, CALL_GET, VT_DATE, result.get(), command, prepared);
    if (!succeeded(outcome) || V_VT(result.get()) != VT_DATE) {
        return 0;
    }
    return seconds_since_unix_epoch(V_DATE(result.get()));
}

VARIANT* read_variant(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    auto* result = static_cast<VARIANT*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(VARIANT)));
    if (result == nullptr) {
        record_error(object, code_of(E_OUTOFMEMORY), false, {});
        return nullptr;
    }
    std::int64_t outcome = run_and_report(object, CALL_GET, VT_EMPTY, result, command, prepared);
    if (!succeeded(outcome)) {
        free_variant(result);
        return nullptr;
    }
    return result;
}

void free_variant(VARIANT* variant)
{
    if (variant != nullptr) {
        ::VariantClear(variant);
        ::HeapFree(::GetProcessHeap(), 0, variant);
    }
}

void* read_object(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared,
                  std::int64_t object_type)
{
    const VARTYPE requested = requested_object_type(object_type);
    UniqueVariant result;
    std::int64_t outcome = nothing_to_run(command, prepared)
                               ? code_of(E_INVALIDARG)
                               : invoke_command(object, CALL_GET, requested, result.get(), command, prepared);
    if (!succeeded(outcome)) {
        record_error(object, outcome, false, {});  // ALREADY_REPORTED leaves the record alone
        return nullptr;
    }
    if (requested == VT_UNKNOWN) {
        VARIANT taken = result.release();
        record_error(object, outcome, false, {});
        return V_UNKNOWN(&taken);
    }
    if (V_DISPATCH(result.get()) == nullptr) {
        record_error(object, CODE_S_FALSE, false, L"The property returned a NULL object!");
        return nullptr;
    }
    VARIANT taken = result.release();
    ComLineObject* made = make_object_record(V_DISPATCH(&taken));
    record_error(object, made == nullptr ? code_of(E_OUTOFMEMORY) : outcome, false, {});
    return made;
}

}  // namespace tovalen::comline
