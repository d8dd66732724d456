// One record per thread, reached through a thread-local slot; a shared registry lets the last
// release find every thread's record. The registry and the slot's allocation are the only
// shared state; a reader-writer lock keeps a record from being freed while its thread writes it.
#include "comline/error_records.h"

#include "comline/comline.h"

#include <windows.h>

#include <array>
#include <cstring>
#include <initializer_list>

namespace tovalen::comline {
namespace {

struct ErrorRecord {
    std::int64_t code;
    wchar_t* text;        // owned, NUL-terminated, from the process heap; null until first text
    std::size_t length;
    std::size_t capacity;  // in characters, terminator excluded
};

struct Registry {
    DWORD index = TLS_OUT_OF_INDEXES;
    ErrorRecord** records = nullptr;
    std::int64_t count = 0;
};

SRWLOCK registry_lock = SRWLOCK_INIT;
Registry registry;

constexpr std::int64_t zero_extended(HRESULT hr)
{
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(hr));
}

constexpr std::int64_t CODE_S_FALSE = 1;
constexpr std::int64_t CODE_E_OUTOFMEMORY = zero_extended(E_OUTOFMEMORY);
constexpr std::int64_t CODE_DISP_E_EXCEPTION = zero_extended(DISP_E_EXCEPTION);

constexpr std::wstring_view INVALID_CLASS_TEXT =
    L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
    L"the component / ActiveX control has been registered.";

struct FixedText {
    std::int64_t code;
    std::wstring_view text;
};

// Rows whose text does not depend on the report; S_FALSE, E_OUTOFMEMORY and DISP_E_EXCEPTION
// are composed by word_fixed_or_composed before this table is consulted.
constexpr std::array FIXED_TEXTS{
    FixedText{0x00000000, L"Okay."},
    FixedText{zero_extended(E_FAIL), L"Unspecified error."},
    FixedText{zero_extended(E_INVALIDARG),
              L"One or more arguments are invalid. Possibly a numerical overflow or too many "
              L"nested objects, -if so, try splitting your method call into two or more subcalls."},
    FixedText{zero_extended(E_NOINTERFACE), L"Method is not implemented."},
    FixedText{zero_extended(E_UNEXPECTED), L"An unexpected error."},
    FixedText{zero_extended(E_POINTER), L"An invalid pointer was supplied."},
    FixedText{zero_extended(E_NOTIMPL),
              L"Not implemented. In the case of attaching an event handler to a COM object, this "
              L"could signify that the object does not provide any type information."},
    FixedText{zero_extended(CO_E_CLASSSTRING), INVALID_CLASS_TEXT},
    FixedText{zero_extended(REGDB_E_CLASSNOTREG), INVALID_CLASS_TEXT},
    FixedText{zero_extended(CO_E_SERVER_EXEC_FAILURE),
              L"Server execution failed. Usually caused by an 'out of process server' timing out "
              L"when asked to create an instance of a 'class factory'."},
    FixedText{zero_extended(DISP_E_TYPEMISMATCH), L"Type mismatch in the method parameters."},
    FixedText{zero_extended(TYPE_E_ELEMENTNOTFOUND),
              L"No type description was found in the library with the specified GUID whilst "
              L"trying to create an event handler."},
    FixedText{0x80040201 /* CONNECT_E_ADVISELIMIT */,
              L"Unable to set event handler because the connection point has already reached its "
              L"limit of connections."},
    FixedText{zero_extended(CLASS_E_NOAGGREGATION),
              L"Class does not support aggregation (or class object is remote)."},
    FixedText{zero_extended(DISP_E_OVERFLOW), L"Overflow error whilst converting between types."},
    FixedText{zero_extended(DISP_E_UNKNOWNNAME), L"Method/property not supported by this object."},
    FixedText{zero_extended(DISP_E_BADPARAMCOUNT), L"Invalid number of method/property parameters."},
    FixedText{zero_extended(DISP_E_BADVARTYPE),
              L"A method/property parameter is not a valid (variant) type."},
    FixedText{zero_extended(DISP_E_MEMBERNOTFOUND),
              L"Member not found. (Check that you have not omitted any optional parameters and are "
              L"not trying to set a read-only property etc.)"},
    FixedText{zero_extended(DISP_E_NOTACOLLECTION), L"Does not support a collection."},
    FixedText{zero_extended(E_ACCESSDENIED), L"A 'general' access denied error."},
    FixedText{zero_extended(RPC_E_WRONG_THREAD),
              L"The application called upon an interface that was marshalled for a different "
              L"thread."},
};

constexpr std::wstring_view PARTIAL_SUCCESS_TEXT =
    L"The operation completed, but was only partially successful.";
constexpr std::wstring_view OUT_OF_MEMORY_TEXT =
    L"Problem allocating memory.\r\n\r\n(Possibly too many method arguments. Each method/property "
    L"is limited by ComLine to a maximum of ";
constexpr std::wstring_view EXCEPTION_TEXT =
    L"An exception occurred during the execution of this method/property.";

HANDLE heap()
{
    return ::GetProcessHeap();
}

// Replaces the record's text by the concatenation of the pieces. When the buffer cannot grow the
// text is left empty: the code, the part callers act on, is still kept. A new record has no
// buffer yet even for an empty text, which still needs room for its terminator.
void set_text(ErrorRecord& record, std::initializer_list<std::wstring_view> pieces)
{
    std::size_t total = 0;
    for (std::wstring_view piece : pieces) {
        total += piece.size();
    }
    if (record.text == nullptr || total > record.capacity) {
        std::size_t bytes = (total + 1) * sizeof(wchar_t);
        void* grown = record.text == nullptr ? ::HeapAlloc(heap(), 0, bytes)
                                             : ::HeapReAlloc(heap(), 0, record.text, bytes);
        if (grown == nullptr) {
            record.length = 0;
            if (record.text != nullptr) {
                record.text[0] = L'\0';
            }
            return;
        }
        record.text = static_cast<wchar_t*>(grown);
        record.capacity = total;
    }
    wchar_t* out = record.text;
    for (std::wstring_view piece : pieces) {
        std::memcpy(out, piece.data(), piece.size() * sizeof(wchar_t));
        out += piece.size();
    }
    *out = L'\0';
    record.length = total;
}

// Decimal text of a non-negative number into the end of the buffer; returns the digits.
std::wstring_view decimal(std::uint64_t value, std::array<wchar_t, 24>& buffer)
{
    std::size_t at = buffer.size();
    do {
        buffer[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return {buffer.data() + at, buffer.size() - at};
}

std::wstring_view upper_hex(std::uint32_t value, std::array<wchar_t, 24>& buffer)
{
    constexpr wchar_t digits[] = L"0123456789ABCDEF";
    std::size_t at = buffer.size();
    do {
        buffer[--at] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return {buffer.data() + at, buffer.size() - at};
}

void word_win32_code(ErrorRecord& record, std::int64_t code)
{
    const auto number = static_cast<DWORD>(code & 0xFFFF);
    std::array<wchar_t, 24> digits_buffer{};
    std::wstring_view digits = decimal(number, digits_buffer);
    wchar_t* system_text = nullptr;
    // Without arguments to give, inserts ("%1") stay as they are written: formatted, they would
    // read arguments that were never passed, and the system then gives no text at all.
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number, 0,
        reinterpret_cast<LPWSTR>(&system_text), 0, nullptr);
    if (length > 0 && system_text != nullptr) {
        set_text(record, {L"(FACILITY_WIN32 error ", digits, L") ", {system_text, length}});
    } else {
        set_text(record, {L"(FACILITY_WIN32 error ", digits,
                          L") Unable to retrieve error description from system!"});
    }
    if (system_text != nullptr) {
        ::LocalFree(system_text);
    }
}

void word_unknown_code(ErrorRecord& record, std::int64_t code)
{
    std::array<wchar_t, 24> hex_buffer{};
    std::wstring_view hex = upper_hex(static_cast<std::uint32_t>(code & 0xFFFFFFFF), hex_buffer);
    set_text(record, {L"Unknown error. (Code : Hex ", hex,
                      L"). Please report this error code to the author at '", SUPPORT_CONTACT,
                      L"'"});
}

void word_code(ErrorRecord& record, std::int64_t code, std::wstring_view detail)
{
    if (code == CODE_S_FALSE) {
        if (detail.empty()) {
            set_text(record, {PARTIAL_SUCCESS_TEXT});
        } else {
            set_text(record, {PARTIAL_SUCCESS_TEXT, L" (", detail, L")"});
        }
        return;
    }
    if (code == CODE_E_OUTOFMEMORY) {
        std::array<wchar_t, 24> digits_buffer{};
        set_text(record, {OUT_OF_MEMORY_TEXT,
                          decimal(static_cast<std::uint64_t>(MAX_METHOD_ARGUMENTS), digits_buffer),
                          L" arguments.)"});
        return;
    }
    if (code == CODE_DISP_E_EXCEPTION) {
        set_text(record, {detail.empty() ? EXCEPTION_TEXT : detail});
        return;
    }
    for (const FixedText& row : FIXED_TEXTS) {
        if (row.code == code) {
            set_text(record, {row.text});
            return;
        }
    }
    if ((code & 0x7FFF0000) == 0x00070000) {
        word_win32_code(record, code);
    } else {
        word_unknown_code(record, code);
    }
}

void free_record(ErrorRecord* record)
{
    if (record->text != nullptr) {
        ::HeapFree(heap(), 0, record->text);
    }
    ::HeapFree(heap(), 0, record);
}

bool is_left_to_invocation(std::int64_t code, bool from_exception)
{
    return code == ALREADY_REPORTED || (code == CODE_DISP_E_EXCEPTION && !from_exception);
}

// Caller holds the lock exclusively. The registry grows by exactly one pointer per record.
ErrorRecord* make_thread_record()
{
    auto* record = static_cast<ErrorRecord*>(::HeapAlloc(heap(), HEAP_ZERO_MEMORY, sizeof(ErrorRecord)));
    if (record == nullptr) {
        return nullptr;
    }
    if (!::TlsSetValue(registry.index, record)) {
        free_record(record);
        return nullptr;
    }
    // The registry holds the records' addresses, not the records.
    std::size_t bytes = static_cast<std::size_t>(registry.count + 1) * sizeof(ErrorRecord*);  // NOLINT(bugprone-sizeof-expression)
    void* grown = registry.records == nullptr
                      ? ::HeapAlloc(heap(), 0, bytes)
                      : ::HeapReAlloc(heap(), 0, registry.records, bytes);
    if (grown == nullptr) {
        ::TlsSetValue(registry.index, nullptr);
        free_record(record);
        return nullptr;
    }
    registry.records = static_cast<ErrorRecord**>(grown);
    registry.records[registry.count] = record;
    ++registry.count;
    return record;
}

// The common path: the slot exists and this thread already has its record.
bool write_existing_record(std::int64_t code, bool from_exception, std::wstring_view detail)
{
    ::AcquireSRWLockShared(&registry_lock);
    bool done = false;
    if (registry.index != TLS_OUT_OF_INDEXES) {
        if (is_left_to_invocation(code, from_exception)) {
            done = true;
        } else if (auto* record = static_cast<ErrorRecord*>(::TlsGetValue(registry.index))) {
            record->code = code;
            word_code(*record, code, detail);
            done = true;
        }
    }
    ::ReleaseSRWLockShared(&registry_lock);
    return done;
}

// The thread slot, made when there is none yet; false when none can be had. The caller holds the
// lock exclusively.
bool slot_made()
{
    if (registry.index == TLS_OUT_OF_INDEXES) {
        registry.index = ::TlsAlloc();
    }
    return registry.index != TLS_OUT_OF_INDEXES;
}

// This thread's record, made when it has none; null when none can be made. The caller holds the
// lock exclusively, with the slot made.
ErrorRecord* thread_record_or_new()
{
    auto* record = static_cast<ErrorRecord*>(::TlsGetValue(registry.index));
    return record != nullptr ? record : make_thread_record();
}

void write_new_record(std::int64_t code, bool from_exception, std::wstring_view detail)
{
    ::AcquireSRWLockExclusive(&registry_lock);
    if (slot_made() && !is_left_to_invocation(code, from_exception)) {
        if (ErrorRecord* record = thread_record_or_new()) {
            record->code = code;
            word_code(*record, code, detail);
        }
    }
    ::ReleaseSRWLockExclusive(&registry_lock);
}

void write_record_verbatim(std::int64_t code, std::wstring_view text)
{
    ::AcquireSRWLockExclusive(&registry_lock);
    if (slot_made()) {
        if (ErrorRecord* record = thread_record_or_new()) {
            record->code = code;
            set_text(*record, {text});
        }
    }
    ::ReleaseSRWLockExclusive(&registry_lock);
}

}  // namespace

void record_error(const ComLineObject* /*object*/, std::int64_t code, bool from_exception,
                  std::wstring_view detail)
{
    if (!write_existing_record(code, from_exception, detail)) {
        write_new_record(code, from_exception, detail);
    }
}

std::int64_t last_error_code()
{
    ::AcquireSRWLockShared(&registry_lock);
    std::int64_t code = 0;
    if (registry.index != TLS_OUT_OF_INDEXES) {
        if (auto* record = static_cast<ErrorRecord*>(::TlsGetValue(registry.index))) {
            code = record->code;
        }
    }
    ::ReleaseSRWLockShared(&registry_lock);
    return code;
}

std::wstring last_error_text()
{
    ::AcquireSRWLockShared(&registry_lock);
    std::wstring text;
    if (registry.index != TLS_OUT_OF_INDEXES) {
        auto* record = static_cast<ErrorRecord*>(::TlsGetValue(registry.index));
        if (record != nullptr && record->text != nullptr) {
            text.assign(record->text, record->length);
        }
    }
    ::ReleaseSRWLockShared(&registry_lock);
    return text;
}

bool error_records_allocated()
{
    ::AcquireSRWLockShared(&registry_lock);
    bool allocated = registry.index != TLS_OUT_OF_INDEXES;
    ::ReleaseSRWLockShared(&registry_lock);
    return allocated;
}

std::int64_t error_record_count()
{
    ::AcquireSRWLockShared(&registry_lock);
    std::int64_t count = registry.count;
    ::ReleaseSRWLockShared(&registry_lock);
    return count;
}

void free_error_records()
{
    ::AcquireSRWLockExclusive(&registry_lock);
    if (registry.index != TLS_OUT_OF_INDEXES) {
        for (std::int64_t i = 0; i < registry.count; ++i) {
            if (registry.records[i] != nullptr) {
                free_record(registry.records[i]);
            }
        }
        if (registry.records != nullptr) {
            ::HeapFree(heap(), 0, registry.records);
        }
        registry.records = nullptr;
        registry.count = 0;
        ::TlsFree(registry.index);
        registry.index = TLS_OUT_OF_INDEXES;
    }
    ::ReleaseSRWLockExclusive(&registry_lock);
}

PreservedOutcome::PreservedOutcome()
{
    ::AcquireSRWLockShared(&registry_lock);
    slot_existed_ = registry.index != TLS_OUT_OF_INDEXES;
    if (const auto* record = slot_existed_ ? static_cast<ErrorRecord*>(::TlsGetValue(registry.index)) : nullptr) {
        held_ = true;
        code_ = record->code;
        text_.assign(record->text != nullptr ? record->text : L"", record->length);
    }
    ::ReleaseSRWLockShared(&registry_lock);
}

PreservedOutcome::~PreservedOutcome()
{
    if (held_) {
        // Also when the last object of the work took the records with it.
        write_record_verbatim(code_, text_);
    } else if (!slot_existed_ && live_object_count() == 0) {
        free_error_records();  // as the last release would have left it
    } else if (error_records_allocated()) {
        write_record_verbatim(0, {});
    }
}

}  // namespace tovalen::comline
