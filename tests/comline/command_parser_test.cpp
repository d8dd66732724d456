#include "comline/command_parser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "comline/bstr_hook.h"
#include "comline/comline.h"
#include "comline/error_records.h"
#include "comline/layer_fixture.h"
#include "comline/test_objects.h"

namespace tovalen::comline {
namespace {

using testing::address_of;
using testing::code_of;

struct FreeParsedCommand {
    void operator()(ParsedCommand* command) const { free_parsed_command(command); }
};
using ParsedCommandPtr = std::unique_ptr<ParsedCommand, FreeParsedCommand>;

struct ParseOutcome {
    std::int64_t code;
    ParsedCommandPtr command;
};

ParseOutcome parse(std::wstring_view text)
{
    // A stale pointer in the out-parameter must be overwritten on failure too.
    auto* raw = reinterpret_cast<ParsedCommand*>(static_cast<std::intptr_t>(0x10));
    const std::int64_t code = parse_command(text, &raw);
    return {code, ParsedCommandPtr(raw)};
}

std::wstring hex(std::uint64_t value)
{
    wchar_t text[24];
    std::swprintf(text, 24, L"0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::wstring real(double value)
{
    wchar_t text[40];
    std::swprintf(text, 40, L"%.17g", value);
    return text;
}

// A VARIANT as "TYPE value", so that table rows can say what they expect in one string.
std::wstring describe(const VARIANT& v)
{
    const VARTYPE vt = V_VT(&v);
    if ((vt & VT_BYREF) != 0) {
        static const std::pair<VARTYPE, const wchar_t*> names[] = {
            {VT_I1, L"I1"},  {VT_I2, L"I2"},       {VT_I4, L"I4"},         {VT_I8, L"I8"},
            {VT_UI4, L"UI4"}, {VT_BSTR, L"BSTR"},  {VT_DISPATCH, L"DISPATCH"}, {VT_VARIANT, L"VARIANT"}};
        for (const auto& [type, name] : names) {
            if ((vt & ~VT_BYREF) == type) {
                return std::wstring(name) + L"|BYREF " + hex(reinterpret_cast<std::uintptr_t>(V_BYREF(&v)));
            }
        }
        return L"BYREF of type " + std::to_wstring(vt & ~VT_BYREF);
    }
    switch (vt) {
    case VT_EMPTY: return L"EMPTY";
    case VT_I1: return L"I1 " + std::to_wstring(V_I1(&v));
    case VT_UI1: return L"UI1 " + std::to_wstring(V_UI1(&v));
    case VT_I2: return L"I2 " + std::to_wstring(V_I2(&v));
    case VT_UI2: return L"UI2 " + std::to_wstring(V_UI2(&v));
    case VT_I4: return L"I4 " + std::to_wstring(V_I4(&v));
    case VT_UI4: return L"UI4 " + std::to_wstring(V_UI4(&v));
    case VT_I8: return L"I8 " + std::to_wstring(V_I8(&v));
    case VT_UI8: return L"UI8 " + std::to_wstring(V_UI8(&v));
    case VT_INT: return L"INT " + std::to_wstring(V_INT(&v));
    case VT_UINT: return L"UINT " + std::to_wstring(V_UINT(&v));
    case VT_R4: return L"R4 " + real(V_R4(&v));
    case VT_R8: return L"R8 " + real(V_R8(&v));
    case VT_DATE: return L"DATE " + real(V_DATE(&v));
    case VT_BOOL: return L"BOOL " + std::to_wstring(V_BOOL(&v));
    case VT_ERROR: return L"ERROR " + hex(static_cast<std::uint32_t>(V_ERROR(&v)));
    case VT_BSTR:
        if (V_BSTR(&v) == nullptr) {
            return L"BSTR null";
        }
        return L"BSTR '" + std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))) + L"'";
    default: return L"type " + std::to_wstring(vt);
    }
}

struct PartExpectation {
    std::wstring name;
    std::vector<std::wstring> rgvarg;  // element 0 first, as IDispatch::Invoke sees them

    bool operator==(const PartExpectation&) const = default;
};

void PrintTo(const PartExpectation& part, std::ostream* out)
{
    *out << ::testing::PrintToString(part.name) << ::testing::PrintToString(part.rgvarg);
}

// Reads a parsed command back the way the invocation code uses it. Elements of a block below
// the arguments must be untouched; a stray value there shows up as an extra entry.
std::vector<PartExpectation> read_back(const ParsedCommand& command)
{
    std::vector<PartExpectation> parts;
    for (std::int64_t i = 1; i <= command.part_count; ++i) {
        PartExpectation part;
        part.name = command.names[i] == nullptr ? L"<null name>" : std::wstring(command.names[i]);
        const std::int64_t n = command.argument_counts[i];
        const VARIANT* block = command.arguments[i];
        const VARIANT* rgvarg = block + PART_ARGUMENT_SLOTS - n;
        for (std::int64_t k = 0; k < n; ++k) {
            part.rgvarg.push_back(describe(rgvarg[k]));
        }
        for (const VARIANT* unused = block; unused < rgvarg; ++unused) {
            if (V_VT(unused) != VT_EMPTY) {
                part.rgvarg.push_back(L"stray " + describe(*unused));
            }
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

struct ParseRow {
    std::wstring command;
    std::vector<PartExpectation> parts;
};

void PrintTo(const ParseRow& row, std::ostream* out)
{
    *out << ::testing::PrintToString(row.command);
}

class Parses : public ::testing::TestWithParam<ParseRow> {};

TEST_P(Parses, IntoNamesAndReversedArguments)
{
    ParseOutcome outcome = parse(GetParam().command);
    ASSERT_EQ(outcome.code, 0) << hex(static_cast<std::uint64_t>(outcome.code));
    ASSERT_NE(outcome.command, nullptr);
    EXPECT_EQ(read_back(*outcome.command), GetParam().parts);
}

INSTANTIATE_TEST_SUITE_P(
    Placement, Parses,
    ::testing::Values(
        ParseRow{L"SerialNumber", {{L"SerialNumber", {}}}},
        ParseRow{L"ExecQuery('Select * from Win32_SystemEnclosure')",
                 {{L"ExecQuery", {L"BSTR 'Select * from Win32_SystemEnclosure'"}}}},
        ParseRow{L"M(1, 2, 3)", {{L"M", {L"I1 3", L"I1 2", L"I1 1"}}}},
        ParseRow{L"M()", {{L"M", {}}}},
        ParseRow{L"UserMode = #True", {{L"UserMode", {L"BOOL -1"}}}},
        ParseRow{L"N(2) = 'x'", {{L"N", {L"BSTR 'x'", L"I1 2"}}}},
        ParseRow{L"N('a', 'b')='c'", {{L"N", {L"BSTR 'c'", L"BSTR 'b'", L"BSTR 'a'"}}}},
        ParseRow{L"a\\b\\c", {{L"a", {}}, {L"b", {}}, {L"c", {}}}},
        ParseRow{L"Items(1)\\Child('k', 300)\\Value = 1.5",
                 {{L"Items", {L"I1 1"}}, {L"Child", {L"I2 300", L"BSTR 'k'"}}, {L"Value", {L"R8 1.5"}}}},
        ParseRow{L"  Spaced  (  1  ,2 )  ", {{L"Spaced", {L"I1 2", L"I1 1"}}}},
        ParseRow{L"a =", {{L"a", {}}}},
        ParseRow{L"sErIaL_nUmBeR", {{L"sErIaL_nUmBeR", {}}}},
        ParseRow{L"Gr\u00fc\u00dfe('\u20ac')", {{L"Gr\u00fc\u00dfe", {L"BSTR '\u20ac'"}}}}));

INSTANTIATE_TEST_SUITE_P(
    Literals, Parses,
    ::testing::Values(
        ParseRow{L"M(#nullstring)", {{L"M", {L"BSTR ''"}}}}, ParseRow{L"M('')", {{L"M", {L"BSTR ''"}}}},
        ParseRow{L"M(#NullString)", {{L"M", {L"BSTR ''"}}}},
        ParseRow{L"M(#true, #TRUE, #false, #False)", {{L"M", {L"BOOL 0", L"BOOL 0", L"BOOL -1", L"BOOL -1"}}}},
        ParseRow{L"M(#empty, #optional, #opt, #OPT)",
                 {{L"M", {L"ERROR 0x80020004", L"ERROR 0x80020004", L"ERROR 0x80020004", L"ERROR 0x80020004"}}}},
        ParseRow{L"M(#void)", {{L"M", {L"I8 0"}}}},
        ParseRow{L"M('it$0027s')", {{L"M", {L"BSTR 'it's'"}}}},
        ParseRow{L"M('$0041$0042')", {{L"M", {L"BSTR 'AB'"}}}},
        ParseRow{L"M('a$00zz')", {{L"M", {L"BSTR 'a$00zz'"}}}},
        ParseRow{L"M('ab$12')", {{L"M", {L"BSTR 'ab'"}}}},
        ParseRow{L"M('$0024')", {{L"M", {L"BSTR '$'"}}}},
        ParseRow{L"M('a,b)\\c=d')", {{L"M", {L"BSTR 'a,b)\\c=d'"}}}},
        ParseRow{L"M(0, 127, 128, -32769)", {{L"M", {L"I4 -32769", L"I2 128", L"I1 127", L"I4 0"}}}},
        ParseRow{L"M(-128, -129, 32767, 32768)", {{L"M", {L"I4 32768", L"I2 32767", L"I2 -129", L"I1 -128"}}}},
        ParseRow{L"M(2147483648, -9223372036854775808)",
                 {{L"M", {L"I8 -9223372036854775808", L"I8 2147483648"}}}},
        ParseRow{L"M(1.5, -.5, +2.25, 5.)", {{L"M", {L"R8 5", L"R8 2.25", L"R8 -0.5", L"R8 1.5"}}}}));

INSTANTIATE_TEST_SUITE_P(
    TypeKeywords, Parses,
    ::testing::Values(
        ParseRow{L"M(5 as boolean, 0 as Boolean)", {{L"M", {L"BOOL 0", L"BOOL -1"}}}},
        ParseRow{L"M(5 as string, 300 as BSTR)", {{L"M", {L"BSTR '300'", L"BSTR '5'"}}}},
        ParseRow{L"M(5 as byte, 5 as ubyte)", {{L"M", {L"UI1 5", L"I1 5"}}}},
        ParseRow{L"M(5 as word, 5 as uword)", {{L"M", {L"UI2 5", L"I2 5"}}}},
        ParseRow{L"M(5 as long, 5 as dword, -5 as dword)", {{L"M", {L"I4 -5", L"I4 5", L"I4 5"}}}},
        ParseRow{L"M(5 as ulong, 5 as udword)", {{L"M", {L"UI4 5", L"UI4 5"}}}},
        ParseRow{L"M(5 as quad, -5 as qword)", {{L"M", {L"I8 -5", L"I8 5"}}}},
        ParseRow{L"M(5 as uquad, 5 as uqword)", {{L"M", {L"UI8 5", L"UI8 5"}}}},
        ParseRow{L"M(5 as integer, 5 as int)", {{L"M", {L"INT 5", L"INT 5"}}}},
        ParseRow{L"M(5 as uinteger, 5 as uint)", {{L"M", {L"UINT 5", L"UINT 5"}}}},
        ParseRow{L"M(2 as date)", {{L"M", {L"DATE 2"}}}},
        ParseRow{L"M(1.5 as float, 2 as single)", {{L"M", {L"R4 2", L"R4 1.5"}}}},
        ParseRow{L"M(5 as double)", {{L"M", {L"R8 5"}}}},
        ParseRow{L"M(0 as variant)", {{L"M", {L"I4 0"}}}},
        ParseRow{L"M('5' as long)", {{L"M", {L"I4 5"}}}},
        ParseRow{L"M(#true as long, 1.5 as long)", {{L"M", {L"I4 2", L"I4 -1"}}}},
        ParseRow{L"M(5 AS LONG, 5 As Long)", {{L"M", {L"I4 5", L"I4 5"}}}},
        ParseRow{L"Value = 7 as quad", {{L"Value", {L"I8 7"}}}}));

INSTANTIATE_TEST_SUITE_P(
    ByReference, Parses,
    ::testing::Values(
        ParseRow{L"M(65536 as long byref)", {{L"M", {L"I4|BYREF 0x10000"}}}},
        ParseRow{L"M(65536 byref as long)", {{L"M", {L"I4|BYREF 0x10000"}}}},
        ParseRow{L"M(65536 byref as long byref)", {{L"M", {L"I4|BYREF 0x10000"}}}},
        ParseRow{L"M(70000 ByRef)", {{L"M", {L"I4|BYREF 0x11170"}}}},
        ParseRow{L"M(4294967296 BYREF)", {{L"M", {L"I8|BYREF 0x100000000"}}}},
        ParseRow{L"M(140737488355327 byref)", {{L"M", {L"I8|BYREF 0x7FFFFFFFFFFF"}}}},
        ParseRow{L"M(65536 as string byref, 131072 as variant byref)",
                 {{L"M", {L"VARIANT|BYREF 0x20000", L"BSTR|BYREF 0x10000"}}}},
        ParseRow{L"M(65536 as object byref)", {{L"M", {L"DISPATCH|BYREF 0x10000"}}}},
        ParseRow{L"V = 65536 as ulong byref", {{L"V", {L"UI4|BYREF 0x10000"}}}}));

std::wstring numbered_arguments(int count)
{
    std::wstring text;
    for (int i = 1; i <= count; ++i) {
        text += (i == 1 ? L"" : L", ") + std::to_wstring(i);
    }
    return text;
}

std::vector<std::wstring> reversed_i1(int count)
{
    std::vector<std::wstring> rgvarg;
    for (int i = count; i >= 1; --i) {
        rgvarg.push_back(L"I1 " + std::to_wstring(i));
    }
    return rgvarg;
}

std::wstring numbered_parts(int count)
{
    std::wstring text;
    for (int i = 1; i <= count; ++i) {
        text += (i == 1 ? L"p" : L"\\p") + std::to_wstring(i);
    }
    return text;
}

std::vector<PartExpectation> numbered_part_names(int count)
{
    std::vector<PartExpectation> parts;
    for (int i = 1; i <= count; ++i) {
        parts.push_back({L"p" + std::to_wstring(i), {}});
    }
    return parts;
}

std::vector<std::wstring> assigned_after(int count, const wchar_t* value)
{
    std::vector<std::wstring> rgvarg{value};
    for (const std::wstring& argument : reversed_i1(count)) {
        rgvarg.push_back(argument);
    }
    return rgvarg;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, Parses,
    ::testing::Values(ParseRow{L"M(" + numbered_arguments(20) + L")", {{L"M", reversed_i1(20)}}},
                      ParseRow{L"M(" + numbered_arguments(19) + L") = 99", {{L"M", assigned_after(19, L"I1 99")}}},
                      ParseRow{numbered_parts(20), numbered_part_names(20)},
                      ParseRow{L"a(" + numbered_arguments(20) + L")\\b(" + numbered_arguments(20) + L")",
                               {{L"a", reversed_i1(20)}, {L"b", reversed_i1(20)}}}));

struct FailureRow {
    std::wstring command;
    HRESULT code;
};

void PrintTo(const FailureRow& row, std::ostream* out)
{
    *out << ::testing::PrintToString(row.command);
}

class Fails : public ::testing::TestWithParam<FailureRow> {};

TEST_P(Fails, WithItsCodeAndNoResult)
{
    ParseOutcome outcome = parse(GetParam().command);
    EXPECT_EQ(outcome.code, code_of(GetParam().code)) << hex(static_cast<std::uint64_t>(outcome.code));
    EXPECT_EQ(outcome.command, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, Fails,
    ::testing::Values(
        FailureRow{L"", E_INVALIDARG}, FailureRow{L"    ", E_INVALIDARG}, FailureRow{L"M((1))", E_INVALIDARG},
        FailureRow{L"M(1))", E_INVALIDARG}, FailureRow{L"M(1", E_INVALIDARG}, FailureRow{L"M(1)(2)", E_INVALIDARG},
        FailureRow{L"M 5", E_INVALIDARG}, FailureRow{L"M(,1)", E_INVALIDARG}, FailureRow{L"M(1,)", E_INVALIDARG},
        FailureRow{L"M(1 2)", E_INVALIDARG}, FailureRow{L"M(1) 2", E_INVALIDARG}, FailureRow{L"M = 1, 2", E_INVALIDARG},
        FailureRow{L"M(1 = 2)", E_INVALIDARG}, FailureRow{L"a = 1 = 2", E_INVALIDARG}, FailureRow{L"= 1", E_INVALIDARG},
        FailureRow{L"(1)", E_INVALIDARG}, FailureRow{L"M = (1)", E_INVALIDARG}, FailureRow{L"M('x", E_INVALIDARG},
        FailureRow{L"M)(", E_INVALIDARG}, FailureRow{L"\\a", E_INVALIDARG}, FailureRow{L"a\\", E_INVALIDARG},
        FailureRow{L"a\\\\b", E_INVALIDARG}, FailureRow{L"a(1\\2)", E_INVALIDARG}, FailureRow{L"a = 1\\b", E_INVALIDARG},
        FailureRow{L"a\\b 5\\c", E_INVALIDARG}, FailureRow{numbered_parts(21), E_INVALIDARG}));

INSTANTIATE_TEST_SUITE_P(
    BadValues, Fails,
    ::testing::Values(
        FailureRow{L"M(1.2.3)", E_INVALIDARG}, FailureRow{L"M(1e5)", E_INVALIDARG}, FailureRow{L"M(+-1)", E_INVALIDARG},
        FailureRow{L"M(0x10)", E_INVALIDARG}, FailureRow{L"M(-)", E_INVALIDARG}, FailureRow{L"M(.)", E_INVALIDARG},
        FailureRow{L"M(9223372036854775808)", E_INVALIDARG}, FailureRow{L"M(#nosuch)", E_INVALIDARG},
        FailureRow{L"M(word)", E_INVALIDARG}, FailureRow{L"M(5 as nosuchtype)", E_INVALIDARG},
        FailureRow{L"M(5 as)", E_INVALIDARG}, FailureRow{L"M(65536 byref byref)", E_INVALIDARG},
        FailureRow{L"M(65536 byref byref as long)", E_INVALIDARG}, FailureRow{L"M(5 as long as word)", E_INVALIDARG},
        FailureRow{L"M('x' byref)", E_INVALIDARG}, FailureRow{L"M(1.5 byref)", E_INVALIDARG},
        FailureRow{L"M(#true byref)", E_INVALIDARG}, FailureRow{L"M(#nullstring byref)", E_INVALIDARG},
        FailureRow{L"M('5' as object)", E_INVALIDARG}, FailureRow{L"M(1.5 as idispatch)", E_INVALIDARG},
        FailureRow{L"M(#true as comlineobject)", E_INVALIDARG}, FailureRow{L"M('0' as iunknown)", E_INVALIDARG},
        FailureRow{L"M(#empty as variant)", E_INVALIDARG}));

// A small number typed where an address belongs would be followed into the null page, a huge one
// into the system's half, and a callee writes through a by-reference null.
INSTANTIATE_TEST_SUITE_P(
    AddressesOutsideUserSpace, Fails,
    ::testing::Values(FailureRow{L"M(5 as variant)", E_POINTER}, FailureRow{L"M(7 byref)", E_POINTER},
                      FailureRow{L"M(9 as object)", E_POINTER}, FailureRow{L"M(9 as idispatch)", E_POINTER},
                      FailureRow{L"M(9 as iunknown)", E_POINTER}, FailureRow{L"M(9 as comlineobject)", E_POINTER},
                      FailureRow{L"M(9 as comlineobject byref)", E_POINTER},
                      FailureRow{L"M(5 byref as long byref)", E_POINTER},
                      FailureRow{L"M(65535 as object)", E_POINTER}, FailureRow{L"M(-8 as iunknown)", E_POINTER},
                      FailureRow{L"M(-4096 byref)", E_POINTER}, FailureRow{L"V = 16 as variant", E_POINTER},
                      FailureRow{L"M(140737488355328 as iunknown)", E_POINTER},
                      FailureRow{L"M(140737488355328 byref)", E_POINTER}, FailureRow{L"M(#void byref)", E_POINTER},
                      FailureRow{L"M(0 byref as long byref)", E_POINTER}));

INSTANTIATE_TEST_SUITE_P(
    ConversionCodesPassThrough, Fails,
    ::testing::Values(FailureRow{L"M('abc' as long)", DISP_E_TYPEMISMATCH},
                      FailureRow{L"M(1, 'abc' as long)", DISP_E_TYPEMISMATCH},
                      FailureRow{L"M(300 as byte)", DISP_E_OVERFLOW},
                      FailureRow{L"M(70000 as word)", DISP_E_OVERFLOW},
                      FailureRow{L"a\\b('x' as date)", DISP_E_TYPEMISMATCH},
                      FailureRow{L"M(#empty as long)", DISP_E_TYPEMISMATCH}));

INSTANTIATE_TEST_SUITE_P(
    ArgumentLimit, Fails,
    ::testing::Values(FailureRow{L"M(" + numbered_arguments(21) + L")", E_OUTOFMEMORY},
                      FailureRow{L"M(" + numbered_arguments(20) + L") = 0", E_OUTOFMEMORY},
                      FailureRow{L"a\\M(" + numbered_arguments(21) + L")", E_OUTOFMEMORY}));

// An IDispatch that counts its references and fails the test on any other call.
class CountingDispatch final : public testing::Counted<IDispatch> {
public:
    CountingDispatch() : Counted(testing::AtZero::stays) {}

    ULONG STDMETHODCALLTYPE Release() override
    {
        EXPECT_GT(references(), 1u) << "the test's own reference was released";
        return Counted::Release();
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return unexpected(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return unexpected(); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return unexpected(); }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return unexpected();
    }

private:
    static HRESULT unexpected()
    {
        ADD_FAILURE() << "the parser must not call the object";
        return E_NOTIMPL;
    }
};

// How an interface argument names its object.
enum class Naming { dispatch_address, record_address, zero };

struct InterfaceRow {
    const wchar_t* keyword;
    Naming naming;
    VARTYPE type;
    bool adds_reference;
};

void PrintTo(const InterfaceRow& row, std::ostream* out)
{
    *out << ::testing::PrintToString(std::wstring(row.keyword)) << " naming " << static_cast<int>(row.naming);
}

class InterfaceArguments : public ::testing::TestWithParam<InterfaceRow> {};

TEST_P(InterfaceArguments, CarryAnAddedReferenceThatFreeingGivesBack)
{
    CountingDispatch object;
    ComLineObject record{};
    record.dispatch = &object;
    const InterfaceRow& row = GetParam();
    std::wstring address = L"0";
    if (row.naming == Naming::dispatch_address) {
        address = address_of(static_cast<IDispatch*>(&object));
    } else if (row.naming == Naming::record_address) {
        address = address_of(&record);
    }
    const IUnknown* expected = row.naming == Naming::zero ? nullptr : static_cast<IDispatch*>(&object);

    ParseOutcome outcome = parse(L"M(" + address + L" as " + row.keyword + L")");
    ASSERT_EQ(outcome.code, 0);
    const VARIANT& argument = outcome.command->arguments[1][PART_ARGUMENT_SLOTS - 1];
    ASSERT_EQ(outcome.command->argument_counts[1], 1);
    ASSERT_EQ(V_VT(&argument), row.type);
    EXPECT_EQ(V_UNKNOWN(&argument), expected);
    EXPECT_EQ(object.references(), row.adds_reference ? 2u : 1u);
    outcome.command.reset();
    EXPECT_EQ(object.references(), 1u);
    EXPECT_EQ(record.dispatch, &object);
}

INSTANTIATE_TEST_SUITE_P(
    Keywords, InterfaceArguments,
    ::testing::Values(InterfaceRow{L"object", Naming::dispatch_address, VT_DISPATCH, true},
                      InterfaceRow{L"IDispatch", Naming::dispatch_address, VT_DISPATCH, true},
                      InterfaceRow{L"iunknown", Naming::dispatch_address, VT_UNKNOWN, true},
                      InterfaceRow{L"comlineobject", Naming::record_address, VT_DISPATCH, true},
                      InterfaceRow{L"ComLineObject", Naming::record_address, VT_DISPATCH, true},
                      // A zero address is no object at all: nothing to read, nothing to AddRef.
                      InterfaceRow{L"object", Naming::zero, VT_DISPATCH, false},
                      InterfaceRow{L"iunknown", Naming::zero, VT_UNKNOWN, false},
                      InterfaceRow{L"comlineobject", Naming::zero, VT_DISPATCH, false}));

TEST(InterfaceByReference, OfAComLineObjectPointsAtItsDispatchPointer)
{
    CountingDispatch object;
    ComLineObject record{};
    record.dispatch = &object;
    ParseOutcome outcome = parse(L"M(" + address_of(&record) + L" as comlineobject byref)");
    ASSERT_EQ(outcome.code, 0);
    const VARIANT& argument = outcome.command->arguments[1][PART_ARGUMENT_SLOTS - 1];
    ASSERT_EQ(V_VT(&argument), VT_DISPATCH | VT_BYREF);
    EXPECT_EQ(V_DISPATCHREF(&argument), &record.dispatch);
    EXPECT_EQ(*V_DISPATCHREF(&argument), &object);
    EXPECT_EQ(object.references(), 1u) << "a reference argument adds no reference";
    outcome.command.reset();
    EXPECT_EQ(object.references(), 1u);
}

TEST(InterfaceByReference, OfAnObjectKeepsTheAddressAndAddsNoReference)
{
    CountingDispatch object;
    IDispatch* slot = &object;
    ParseOutcome outcome = parse(L"M(" + address_of(&slot) + L" as object byref)");
    ASSERT_EQ(outcome.code, 0);
    const VARIANT& argument = outcome.command->arguments[1][PART_ARGUMENT_SLOTS - 1];
    ASSERT_EQ(V_VT(&argument), VT_DISPATCH | VT_BYREF);
    EXPECT_EQ(V_DISPATCHREF(&argument), &slot);
    EXPECT_EQ(object.references(), 1u);
}

struct PartialRow {
    const wchar_t* label;
    std::wstring (*command)(const std::wstring& object_address);
    HRESULT code;
};

void PrintTo(const PartialRow& row, std::ostream* out)
{
    *out << ::testing::PrintToString(std::wstring(row.label));
}

class FailedParse : public ::testing::TestWithParam<PartialRow> {};

TEST_P(FailedParse, GivesBackEveryReferenceItTook)
{
    CountingDispatch object;
    const std::wstring address = address_of(static_cast<IDispatch*>(&object));
    ParseOutcome outcome = parse(GetParam().command(address));
    EXPECT_EQ(outcome.code, code_of(GetParam().code));
    EXPECT_EQ(outcome.command, nullptr);
    EXPECT_EQ(object.references(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FailedParse,
    ::testing::Values(
        PartialRow{L"later argument fails to convert",
                   [](const std::wstring& a) { return L"M(" + a + L" as object, 'abc' as long)"; }, DISP_E_TYPEMISMATCH},
        PartialRow{L"later part is malformed",
                   [](const std::wstring& a) { return L"a(" + a + L" as object)\\b(1 2)"; }, E_INVALIDARG},
        PartialRow{L"too many arguments after the object",
                   [](const std::wstring& a) { return L"M(" + a + L" as iunknown, " + numbered_arguments(20) + L")"; },
                   E_OUTOFMEMORY},
        PartialRow{L"several objects then a bad value",
                   [](const std::wstring& a) {
                       return L"a(" + a + L" as object, " + a + L" as iunknown)\\b(" + a + L" as idispatch) = 1e5";
                   },
                   E_INVALIDARG}));

TEST(VariantArguments, AreCopiesOfTheVariantAtTheAddress)
{
    CountingDispatch object;
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"copied");
    VARIANT held_object;
    V_VT(&held_object) = VT_DISPATCH;
    V_DISPATCH(&held_object) = &object;
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 7;

    ParseOutcome outcome = parse(L"M(" + address_of(&text) + L" as variant, " + address_of(&held_object) +
                                 L" as Variant, " + address_of(&number) + L" as VARIANT)");
    ASSERT_EQ(outcome.code, 0);
    const VARIANT* rgvarg = outcome.command->arguments[1] + PART_ARGUMENT_SLOTS - 3;
    EXPECT_EQ(describe(rgvarg[0]), L"I4 7");
    ASSERT_EQ(V_VT(&rgvarg[1]), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&rgvarg[1]), &object);
    EXPECT_EQ(object.references(), 2u);
    EXPECT_EQ(describe(rgvarg[2]), L"BSTR 'copied'");
    EXPECT_NE(V_BSTR(&rgvarg[2]), V_BSTR(&text)) << "the argument owns a copy, not the caller's string";
    outcome.command.reset();
    EXPECT_EQ(object.references(), 1u);
    EXPECT_EQ(describe(text), L"BSTR 'copied'");
    SysFreeString(V_BSTR(&text));
}

TEST(VariantArguments, ACopyFailurePassesItsCodeThrough)
{
    VARIANT invalid{};
    V_VT(&invalid) = 15;  // no VARIANT type has this number
    ParseOutcome outcome = parse(L"M(1, " + address_of(&invalid) + L" as variant)");
    EXPECT_EQ(outcome.code, code_of(DISP_E_BADVARTYPE));
    EXPECT_EQ(outcome.command, nullptr);
}

TEST(NumberLiterals, ReadThePointWhateverTheRuntimeLocale)
{
    const char* before = std::setlocale(LC_ALL, nullptr);
    const std::string saved = before != nullptr ? before : "C";
    if (std::setlocale(LC_ALL, "German_Germany.1252") == nullptr && std::setlocale(LC_ALL, "de-DE") == nullptr) {
        GTEST_SKIP() << "no German locale in this runtime";
    }
    ParseOutcome outcome = parse(L"M(1.5, -0.25)");
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_EQ(outcome.code, 0);
    EXPECT_EQ(read_back(*outcome.command), (std::vector<PartExpectation>{{L"M", {L"R8 -0.25", L"R8 1.5"}}}));
}

// The thread's record describes the parse's caller, never an older failure.
class FailedParseRecord : public ::testing::TestWithParam<std::wstring> {};

TEST_P(FailedParseRecord, IsResetToSuccess)
{
    record_error(nullptr, code_of(E_FAIL), false, {});
    ASSERT_EQ(last_error_code(), code_of(E_FAIL));
    ParseOutcome outcome = parse(GetParam());
    EXPECT_NE(outcome.code, 0);
    EXPECT_EQ(last_error_code(), 0);
    free_error_records();
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedParseRecord,
                         ::testing::Values(L"", L"M(1", L"a\\b(1 2)", L"M('x' as long)", L"M(#nosuch)",
                                           L"M(" + numbered_arguments(21) + L")"));

// Replaces the string hook for one test; fails its n-th call and counts every call.
class BstrHookGuard {
public:
    explicit BstrHookGuard(int failing_call) : saved_(make_bstr)
    {
        failing_call_ = failing_call;
        calls_ = 0;
        make_bstr = &counting_hook;
    }
    BstrHookGuard(const BstrHookGuard&) = delete;
    BstrHookGuard& operator=(const BstrHookGuard&) = delete;
    ~BstrHookGuard() { make_bstr = saved_; }
    static int calls() { return calls_; }

private:
    static BSTR counting_hook(const wchar_t* text)
    {
        ++calls_;
        return calls_ == failing_call_ ? nullptr : SysAllocString(text);
    }
    static inline int failing_call_ = 0;
    static inline int calls_ = 0;
    MakeBstrRoutine saved_;
};

struct HookRow {
    std::wstring command;
    int failing_call;  // 0: none fails
    HRESULT code;
    int calls;
};

void PrintTo(const HookRow& row, std::ostream* out)
{
    *out << ::testing::PrintToString(row.command) << " failing call " << row.failing_call;
}

class BstrHook : public ::testing::TestWithParam<HookRow> {};

TEST_P(BstrHook, MakesEveryStringAndItsFailureIsOutOfMemory)
{
    BstrHookGuard guard(GetParam().failing_call);
    ParseOutcome outcome = parse(GetParam().command);
    EXPECT_EQ(outcome.code, code_of(GetParam().code));
    EXPECT_EQ(outcome.command == nullptr, FAILED(GetParam().code));
    EXPECT_EQ(BstrHookGuard::calls(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, BstrHook,
    ::testing::Values(HookRow{L"a('x', #nullstring, '')\\b = 'y'", 0, S_OK, 6},
                      HookRow{L"Name", 1, E_OUTOFMEMORY, 1}, HookRow{L"M('x')", 2, E_OUTOFMEMORY, 2},
                      HookRow{L"M(#nullstring)", 2, E_OUTOFMEMORY, 2}, HookRow{L"a\\b", 2, E_OUTOFMEMORY, 2},
                      HookRow{L"a\\b('x', 'y')", 4, E_OUTOFMEMORY, 4}, HookRow{L"M('x')", 3, S_OK, 2},
                      HookRow{L"M(5 as string)", 0, S_OK, 1}));

TEST(ParseCommand, RefusesANullResultPointer)
{
    EXPECT_EQ(parse_command(L"M", nullptr), code_of(E_POINTER));
}

}  // namespace
}  // namespace tovalen::comline
