#include "comline/command_parser.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "comline/bstr_hook.h"
#include "comline/comline.h"
#include "comline/error_records.h"
#include "platform/handles.h"

namespace tovalen::comline {

static_assert(PART_ARGUMENT_SLOTS == MAX_METHOD_ARGUMENTS);

namespace {

using platform::UniqueVariant;

std::int64_t zero_extended(HRESULT hr)
{
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(hr));
}

// Keywords are ASCII and written in lower case here; the command may use any case.
bool is_keyword(std::wstring_view token, std::wstring_view keyword)
{
    if (token.size() != keyword.size()) {
        return false;
    }
    for (std::size_t i = 0; i < token.size(); ++i) {
        wchar_t ch = token[i];
        if (ch >= L'A' && ch <= L'Z') {
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        }
        if (ch != keyword[i]) {
            return false;
        }
    }
    return true;
}

struct TypeKeyword {
    std::wstring_view word;
    VARTYPE type;
};

constexpr TypeKeyword TYPE_KEYWORDS[] = {
    {L"boolean", VT_BOOL},     {L"string", VT_BSTR},       {L"bstr", VT_BSTR},         {L"byte", VT_I1},
    {L"ubyte", VT_UI1},        {L"word", VT_I2},           {L"uword", VT_UI2},         {L"long", VT_I4},
    {L"dword", VT_I4},         {L"ulong", VT_UI4},         {L"udword", VT_UI4},        {L"quad", VT_I8},
    {L"qword", VT_I8},         {L"uquad", VT_UI8},         {L"uqword", VT_UI8},        {L"integer", VT_INT},
    {L"int", VT_INT},          {L"uinteger", VT_UINT},     {L"uint", VT_UINT},         {L"date", VT_DATE},
    {L"object", VT_DISPATCH},  {L"idispatch", VT_DISPATCH}, {L"comlineobject", VT_DISPATCH},
    {L"iunknown", VT_UNKNOWN}, {L"float", VT_R4},          {L"single", VT_R4},         {L"double", VT_R8},
    {L"variant", VT_VARIANT},
};

constexpr std::wstring_view COMLINE_OBJECT_KEYWORD = L"comlineobject";

const TypeKeyword* find_type_keyword(std::wstring_view token)
{
    for (const TypeKeyword& keyword : TYPE_KEYWORDS) {
        if (is_keyword(token, keyword.word)) {
            return &keyword;
        }
    }
    return nullptr;
}

// make_bstr wants a terminated text and tokens are views into the command: one buffer per parse
// holds each text while its BSTR is made.
class TextScratch {
public:
    // Room for `length` characters and a terminator; null when there is no memory.
    wchar_t* reserve(std::size_t length)
    {
        if (length < INLINE_SIZE) {
            return inline_;
        }
        if (length >= heap_size_) {
            heap_.reset(new (std::nothrow) wchar_t[length + 1]);
            heap_size_ = heap_ ? length + 1 : 0;
        }
        return heap_.get();
    }

private:
    static constexpr std::size_t INLINE_SIZE = 128;
    wchar_t inline_[INLINE_SIZE];
    std::unique_ptr<wchar_t[]> heap_;
    std::size_t heap_size_ = 0;
};

BSTR bstr_of(std::wstring_view text, bool decode, TextScratch& scratch)
{
    wchar_t* buffer = scratch.reserve(text.size());
    if (buffer == nullptr) {
        return nullptr;
    }
    text.copy(buffer, text.size());
    std::size_t length = text.size();
    if (decode && length > 0) {
        length = decode_escapes(std::span<wchar_t>(buffer, length));
    }
    buffer[length] = L'\0';
    return make_bstr(buffer);
}

bool is_quoted(std::wstring_view token)
{
    return !token.empty() && token.front() == L'\'';
}

std::wstring_view quoted_text(std::wstring_view token)
{
    token.remove_prefix(1);
    if (!token.empty() && token.back() == L'\'') {
        token.remove_suffix(1);
    }
    return token;
}

HRESULT set_string(VARIANT& value, std::wstring_view text, bool decode, TextScratch& scratch)
{
    BSTR bstr = bstr_of(text, decode, scratch);
    if (bstr == nullptr) {
        return E_OUTOFMEMORY;
    }
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = bstr;
    return S_OK;
}

HRESULT set_number(VARIANT& value, std::wstring_view token)
{
    const NumberLiteral literal = parse_number_token(token);
    switch (literal.kind) {
    case NumberKind::i1:
        V_VT(&value) = VT_I1;
        V_I1(&value) = static_cast<CHAR>(literal.integer);
        return S_OK;
    case NumberKind::i2:
        V_VT(&value) = VT_I2;
        V_I2(&value) = static_cast<SHORT>(literal.integer);
        return S_OK;
    case NumberKind::i4:
        V_VT(&value) = VT_I4;
        V_I4(&value) = static_cast<LONG>(literal.integer);
        return S_OK;
    case NumberKind::i8:
        V_VT(&value) = VT_I8;
        V_I8(&value) = literal.integer;
        return S_OK;
    case NumberKind::r8:
        V_VT(&value) = VT_R8;
        V_R8(&value) = literal.real;
        return S_OK;
    case NumberKind::invalid:
        break;
    }
    return E_INVALIDARG;
}

// The VARIANT a literal or keyword stands for.
HRESULT set_literal(VARIANT& value, std::wstring_view token, TextScratch& scratch)
{
    if (is_quoted(token)) {
        return set_string(value, quoted_text(token), true, scratch);
    }
    if (is_keyword(token, L"#nullstring")) {
        return set_string(value, L"", false, scratch);
    }
    if (is_keyword(token, L"#true") || is_keyword(token, L"#false")) {
        V_VT(&value) = VT_BOOL;
        V_BOOL(&value) = is_keyword(token, L"#true") ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (is_keyword(token, L"#empty") || is_keyword(token, L"#optional") || is_keyword(token, L"#opt")) {
        V_VT(&value) = VT_ERROR;
        V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
        return S_OK;
    }
    if (is_keyword(token, L"#void")) {
        V_VT(&value) = VT_I8;
        V_I8(&value) = 0;
        return S_OK;
    }
    return set_number(value, token);
}

bool holds_integer_literal(const VARIANT& value, std::int64_t& integer)
{
    switch (V_VT(&value)) {
    case VT_I1:
        integer = V_I1(&value);
        return true;
    case VT_I2:
        integer = V_I2(&value);
        return true;
    case VT_I4:
        integer = V_I4(&value);
        return true;
    case VT_I8:
        integer = V_I8(&value);
        return true;
    default:
        return false;
    }
}

template <typename T>
T* pointer_from(std::int64_t address)
{
    return reinterpret_cast<T*>(static_cast<std::intptr_t>(address));
}

// Nothing is ever mapped in the lowest 64 KB, and a negative number or one at or above 2^47 names
// the system's half of the address space: such an address is a slip of the keyboard, and
// following it would crash. 0 stays what it always meant, no object.
constexpr std::int64_t LOWEST_USABLE_ADDRESS = 0x10000;
constexpr std::int64_t END_OF_USER_SPACE = 0x800000000000;

// The address an integer literal gives; anything but an integer literal is no address at all.
HRESULT address_of_literal(const VARIANT& value, std::int64_t& address)
{
    if (!holds_integer_literal(value, address)) {
        return E_INVALIDARG;
    }
    if (address != 0 && (address < LOWEST_USABLE_ADDRESS || address >= END_OF_USER_SPACE)) {
        return E_POINTER;
    }
    return S_OK;
}

// What follows a value: "byref", "as" and a type keyword, in the orders the language allows.
struct ArgumentSyntax {
    std::wstring_view value;
    bool by_reference = false;
    const TypeKeyword* type = nullptr;  // null: the value's own type
};

// Reads the modifiers after tokens[k] and leaves k on the last token consumed.
HRESULT read_argument_syntax(std::span<const std::wstring_view> tokens, std::size_t& k, ArgumentSyntax& syntax)
{
    syntax.value = tokens[k];
    if (k + 1 < tokens.size() && is_keyword(tokens[k + 1], L"byref")) {
        syntax.by_reference = true;
        ++k;
    }
    if (k + 2 < tokens.size() && is_keyword(tokens[k + 1], L"as")) {
        syntax.type = find_type_keyword(tokens[k + 2]);
        if (syntax.type == nullptr) {
            return E_INVALIDARG;
        }
        k += 2;
        // "byref" may follow the type as well, whether or not it also came before "as".
        if (k + 1 < tokens.size() && is_keyword(tokens[k + 1], L"byref")) {
            syntax.by_reference = true;
            ++k;
        }
    }
    return S_OK;
}

// The interface pointer a typed address stands for; a zero address stands for no object.
IUnknown* interface_at(std::int64_t address, const TypeKeyword& type)
{
    if (address == 0) {
        return nullptr;
    }
    if (type.word == COMLINE_OBJECT_KEYWORD) {
        return pointer_from<ComLineObject>(address)->dispatch;
    }
    return pointer_from<IUnknown>(address);
}

HRESULT finish_by_reference(VARIANT& value, VARTYPE target, const TypeKeyword* type)
{
    std::int64_t address = 0;
    if (const HRESULT hr = address_of_literal(value, address); FAILED(hr)) {
        return hr;
    }
    // A callee writes through a by-reference argument; there is no "no object" for it to write to.
    if (address == 0) {
        return E_POINTER;
    }
    void* pointer = pointer_from<void>(address);
    // By reference a ComLineObject stands for its IDispatch pointer, not for the record.
    if (type != nullptr && type->word == COMLINE_OBJECT_KEYWORD) {
        pointer = &pointer_from<ComLineObject>(address)->dispatch;
    }
    V_VT(&value) = static_cast<VARTYPE>(target | VT_BYREF);
    V_BYREF(&value) = pointer;
    return S_OK;
}

HRESULT finish_interface(VARIANT& value, VARTYPE target, const TypeKeyword& type)
{
    std::int64_t address = 0;
    if (const HRESULT hr = address_of_literal(value, address); FAILED(hr)) {
        return hr;
    }
    IUnknown* object = interface_at(address, type);
    if (object != nullptr) {
        object->AddRef();
    }
    V_VT(&value) = target;
    if (target == VT_DISPATCH) {
        V_DISPATCH(&value) = static_cast<IDispatch*>(object);
    } else {
        V_UNKNOWN(&value) = object;
    }
    return S_OK;
}

HRESULT finish_variant_copy(VARIANT& value)
{
    std::int64_t address = 0;
    if (const HRESULT hr = address_of_literal(value, address); FAILED(hr)) {
        return hr;
    }
    if (address == 0) {
        return S_OK;
    }
    return VariantCopy(&value, pointer_from<VARIANT>(address));
}

// Gives the literal the form its modifiers ask for.
HRESULT finish_argument(VARIANT& value, const ArgumentSyntax& syntax)
{
    const VARTYPE target = syntax.type != nullptr ? syntax.type->type : V_VT(&value);
    if (syntax.by_reference) {
        return finish_by_reference(value, target, syntax.type);
    }
    if (target == VT_DISPATCH || target == VT_UNKNOWN) {
        return finish_interface(value, target, *syntax.type);
    }
    if (target == VT_VARIANT) {
        return finish_variant_copy(value);
    }
    if (target != V_VT(&value)) {
        return VariantChangeType(&value, &value, VARIANT_LOCALBOOL, target);
    }
    return S_OK;
}

// Builds one argument; on failure nothing of it remains.
HRESULT build_argument(const ArgumentSyntax& syntax, TextScratch& scratch, VARIANT& slot)
{
    UniqueVariant value;
    *value.get() = VARIANT{};  // no stale bytes beside a narrow literal
    HRESULT hr = set_literal(*value.get(), syntax.value, scratch);
    if (SUCCEEDED(hr)) {
        hr = finish_argument(*value.get(), syntax);
    }
    if (FAILED(hr)) {
        return hr;
    }
    slot = value.release();
    return S_OK;
}

enum class PartState { start, name, open, value, closed };

// The record and its blocks laid out in one zero-filled piece of memory.
ParsedCommand* lay_out_parsed_command(void* memory, std::int64_t part_count)
{
    auto* command = static_cast<ParsedCommand*>(memory);
    auto* blocks = reinterpret_cast<VARIANT*>(static_cast<unsigned char*>(memory) + sizeof(ParsedCommand));
    command->part_count = part_count;
    for (std::int64_t part = 1; part <= part_count; ++part) {
        command->arguments[part] = blocks + (part - 1) * PART_ARGUMENT_SLOTS;
    }
    return command;
}

// The whole parsed command and its argument blocks are one zero-filled allocation.
ParsedCommand* allocate_parsed_command(std::int64_t part_count)
{
    const std::size_t block_bytes = PART_ARGUMENT_SLOTS * sizeof(VARIANT);
    void* memory = std::calloc(1, sizeof(ParsedCommand) + static_cast<std::size_t>(part_count) * block_bytes);
    return memory != nullptr ? lay_out_parsed_command(memory, part_count) : nullptr;
}

static_assert(sizeof(OnePartCommandStorage) == sizeof(ParsedCommand) + PART_ARGUMENT_SLOTS * sizeof(VARIANT),
              "the storage of a one-part command has the layout of its allocation");

// Everything the command owns, but not the memory it lives in.
void release_contents(ParsedCommand& command)
{
    for (std::int64_t part = 1; part <= command.part_count; ++part) {
        SysFreeString(command.names[part]);
        VARIANT* block = command.arguments[part];
        for (std::int64_t n = 0; block != nullptr && n < command.argument_counts[part]; ++n) {
            VariantClear(&block[PART_ARGUMENT_SLOTS - 1 - n]);
        }
    }
}

std::int64_t failed_parse(HRESULT hr)
{
    // The caller reports the failure itself; the thread's record must not describe an older one.
    record_error(nullptr, 0, false, {});
    return zero_extended(hr);
}

}  // namespace

HRESULT parse_command_part(ParsedCommand& command, std::int64_t part, const CommandTable& table)
{
    VARIANT* const block = command.arguments[part];
    if (block == nullptr) {
        return E_OUTOFMEMORY;
    }
    const std::span<const std::wstring_view> tokens = table.tokens(part);
    TextScratch scratch;
    std::int64_t position = PART_ARGUMENT_SLOTS - 1;
    PartState state = PartState::start;
    bool inside_parentheses = false;

    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const std::wstring_view token = tokens[k];
        if (token == L"(") {
            if (k != 1) {
                return E_INVALIDARG;
            }
            inside_parentheses = true;
            state = PartState::open;
        } else if (token == L")") {
            if (state != PartState::open && state != PartState::value) {
                return E_INVALIDARG;
            }
            inside_parentheses = false;
            state = PartState::closed;
        } else if (token == L"=") {
            if (state != PartState::name && state != PartState::closed) {
                return E_INVALIDARG;
            }
            state = PartState::start;
        } else if (token == L",") {
            if (!inside_parentheses || state != PartState::value) {
                return E_INVALIDARG;
            }
            state = PartState::start;
        } else if (k == 0) {
            command.names[part] = bstr_of(token, false, scratch);
            if (command.names[part] == nullptr) {
                return E_OUTOFMEMORY;
            }
            state = PartState::name;
        } else if (state == PartState::start || state == PartState::open) {
            if (position < 0) {
                return E_OUTOFMEMORY;  // a 21st argument
            }
            state = PartState::value;
            ArgumentSyntax syntax;
            HRESULT hr = read_argument_syntax(tokens, k, syntax);
            if (SUCCEEDED(hr)) {
                hr = build_argument(syntax, scratch, block[position]);
            }
            if (FAILED(hr)) {
                return hr;
            }
            ++command.argument_counts[part];
            --position;
        } else {
            return E_INVALIDARG;
        }
    }
    return S_OK;
}

// Tokenizes and parses a non-empty command; a one-part command goes into the storage when one
// is given, everything else into one heap allocation.
std::int64_t parse_with_memory(std::wstring_view command, OnePartCommandStorage* storage, ParsedCommand** result)
{
    CommandTable table;
    const std::int64_t part_count = tokenize_command(command, COMMAND_DELIMITERS, table);
    if (part_count == 0) {
        return failed_parse(E_INVALIDARG);
    }
    const bool in_storage = storage != nullptr && part_count == 1;
    if (in_storage) {
        std::memset(static_cast<void*>(storage), 0, sizeof(*storage));
    }
    ParsedCommand* parsed = in_storage ? lay_out_parsed_command(storage, 1) : allocate_parsed_command(part_count);
    if (parsed == nullptr) {
        return failed_parse(E_OUTOFMEMORY);
    }
    for (std::int64_t part = 1; part <= part_count; ++part) {
        const HRESULT hr = parse_command_part(*parsed, part, table);
        if (FAILED(hr)) {
            if (in_storage) {
                release_contents(*parsed);
            } else {
                free_parsed_command(parsed);
            }
            return failed_parse(hr);
        }
    }
    *result = parsed;
    return zero_extended(S_OK);
}

std::int64_t parse_command(std::wstring_view command, ParsedCommand** result)
{
    if (result == nullptr) {
        return zero_extended(E_POINTER);
    }
    *result = nullptr;
    if (command.empty()) {
        return failed_parse(E_INVALIDARG);
    }
    return parse_with_memory(command, nullptr, result);
}

std::int64_t parse_command_into(std::wstring_view command, OnePartCommandStorage& storage, ParsedCommand** result)
{
    if (result == nullptr) {
        return zero_extended(E_POINTER);
    }
    *result = nullptr;
    if (command.empty()) {
        return failed_parse(E_INVALIDARG);
    }
    return parse_with_memory(command, &storage, result);
}

void release_parsed_command(ParsedCommand* command, OnePartCommandStorage& storage)
{
    if (command == &storage.command) {
        release_contents(storage.command);
    } else {
        free_parsed_command(command);
    }
}

void free_parsed_command(ParsedCommand* command)
{
    if (command == nullptr) {
        return;
    }
    release_contents(*command);
    std::free(command);
}

}  // namespace tovalen::comline
