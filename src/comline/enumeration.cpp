// Walking a collection through its IEnumVARIANT, one element at a time.
#include "comline/comline.h"

#include "comline/object_records.h"
#include "platform/handles.h"

namespace tovalen::comline {
namespace {

using platform::UniqueVariant;

HANDLE heap()
{
    return ::GetProcessHeap();
}

// The collection's enumerator from its DISPID_NEWENUM member.
HRESULT enumerator_of(ComLineObject* object, IDispatch* collection, IEnumVARIANT** enumerator)
{
    DISPPARAMS no_arguments{};
    EXCEPINFO exception{};
    UniqueVariant result;
    HRESULT hr = collection->Invoke(DISPID_NEWENUM, IID_NULL, INVOKE_LOCALE, CALL_GET, &no_arguments,
                                    result.get(), &exception, nullptr);
    settle_exception(object, hr, exception);
    if (FAILED(hr)) {
        return hr;
    }
    const VARTYPE type = V_VT(result.get());
    if (type != VT_DISPATCH && type != VT_UNKNOWN) {
        return E_NOINTERFACE;
    }
    // VT_DISPATCH and VT_UNKNOWN share the pointer's place; a null one enumerates nothing.
    IUnknown* source = V_UNKNOWN(result.get());
    if (source == nullptr) {
        return E_NOINTERFACE;
    }
    return source->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(enumerator));
}

HRESULT fetch_element(ComLineEnumeration* enumeration, VARIANT* element)
{
    if (enumeration->enumerator == nullptr) {
        return E_POINTER;
    }
    return enumeration->enumerator->Next(1, element, nullptr);
}

// An element that is no object is converted; a null one cannot stand in a record.
HRESULT element_as_object(VARIANT& element)
{
    if (V_VT(&element) != VT_DISPATCH) {
        HRESULT hr = ::VariantChangeType(&element, &element, 0, VT_DISPATCH);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

}  // namespace

ComLineEnumeration* open_enumeration(ComLineObject* object, std::wstring_view command, ParsedCommand* prepared)
{
    auto* enumeration =
        static_cast<ComLineEnumeration*>(::HeapAlloc(heap(), HEAP_ZERO_MEMORY, sizeof(ComLineEnumeration)));
    if (enumeration == nullptr) {
        record_error(object, code_of(E_OUTOFMEMORY), false, {});
        return nullptr;
    }
    enumeration->methods = &ENUMERATION_METHODS;
    enumeration->parent = object;

    ComLineObject* member = nullptr;
    IDispatch* collection = object->dispatch;
    if (!command.empty()) {
        member = static_cast<ComLineObject*>(read_object(object, command, prepared, VT_DISPATCH));
        if (member == nullptr) {
            ::HeapFree(heap(), 0, enumeration);
            return nullptr;
        }
        collection = member->dispatch;
    }
    HRESULT hr = enumerator_of(object, collection, &enumeration->enumerator);
    if (member != nullptr) {
        release_object(member);
    }
    if (FAILED(hr)) {
        ::HeapFree(heap(), 0, enumeration);
        enumeration = nullptr;
    }
    record_error(object, code_of(hr), false, {});
    return enumeration;
}

ComLineObject* next_object(ComLineEnumeration* enumeration)
{
    UniqueVariant element;
    HRESULT hr = fetch_element(enumeration, element.get());
    ComLineObject* object = nullptr;
    if (hr == S_OK) {
        hr = element_as_object(*element.get());
    }
    if (hr == S_OK && V_DISPATCH(element.get()) == nullptr) {
        record_error(enumeration->parent, CODE_S_FALSE, false, L"The property returned a NULL object!");
        return nullptr;
    }
    if (hr == S_OK) {
        VARIANT taken = element.release();
        object = make_object_record(V_DISPATCH(&taken));
        if (object == nullptr) {
            hr = E_OUTOFMEMORY;
        }
    }
    record_error(enumeration->parent, code_of(hr), false, {});
    return object;
}

VARIANT* next_variant(ComLineEnumeration* enumeration)
{
    auto* element = static_cast<VARIANT*>(::HeapAlloc(heap(), HEAP_ZERO_MEMORY, sizeof(VARIANT)));
    HRESULT hr = element == nullptr ? E_OUTOFMEMORY : fetch_element(enumeration, element);
    if (hr != S_OK) {
        free_variant(element);
        element = nullptr;
    }
    record_error(enumeration->parent, code_of(hr), false, {});
    return element;
}

std::int64_t reset_enumeration(ComLineEnumeration* enumeration)
{
    return report_outcome(enumeration->parent,
                          enumeration->enumerator != nullptr ? enumeration->enumerator->Reset() : S_OK);
}

std::int64_t release_enumeration(ComLineEnumeration* enumeration)
{
    if (enumeration == nullptr) {
        return 0;
    }
    if (enumeration->enumerator != nullptr) {
        enumeration->enumerator->Release();
    }
    ::HeapFree(heap(), 0, enumeration);
    return 0;
}

const ComLineEnumerationMethods ENUMERATION_METHODS{
    next_object,
    next_variant,
    reset_enumeration,
    release_enumeration,
};

}  // namespace tovalen::comline
