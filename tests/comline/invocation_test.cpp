// Invocation against objects written for the test: what Invoke receives, exceptions, paths with
// null objects and non-objects, and each operation's conversion of the result.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "comline/layer_fixture.h"
#include "comline/test_objects.h"

namespace tovalen::comline::testing {
namespace {

constexpr DISPID MEMBER_M = 7;
constexpr DISPID MEMBER_VALUE = 8;

const std::wstring NULL_OBJECT_TEXT =
    L"The operation completed, but was only partially successful. (The property returned a NULL object!)";

std::wstring null_member_text(const std::wstring& member)
{
    return L"The operation completed, but was only partially successful. (The '" + member +
           L"' property returned a NULL object!)";
}

// A TestDispatch owned by the test, wrapped in a ComLineObject; checks on the way out that the
// layer gave back every reference it took.
class Wrapped {
public:
    explicit Wrapped(TestDispatch* object) : object_(object), comline_(wrap_interface(object)) {}
    ~Wrapped()
    {
        release_object(comline_);
        EXPECT_EQ(object_->references(), 1u) << "references left behind";
        object_->Release();
    }
    Wrapped(const Wrapped&) = delete;
    Wrapped& operator=(const Wrapped&) = delete;
    ComLineObject* get() const { return comline_; }
    TestDispatch& target() const { return *object_; }

private:
    TestDispatch* object_;
    ComLineObject* comline_;
};

TestDispatch* make_recorder()
{
    auto* recorder = new TestDispatch();
    recorder->add_member(L"M", MEMBER_M, returns_integer(1));
    recorder->add_member(L"Value", MEMBER_VALUE, succeeds_silently());
    return recorder;
}

// Members returning the awkward values: no object, nothing, numbers, texts and dates.
TestDispatch* make_shapes()
{
    auto* shapes = new TestDispatch();
    shapes->add_member(L"Nothing", 1, returns_object(nullptr));
    shapes->add_member(L"Empty", 2, returns_empty());
    shapes->add_member(L"Number", 3, returns_integer(-1));
    shapes->add_member(L"Word", 4, returns_text(L"hello"));
    shapes->add_member(L"NullText", 5, returns_text(nullptr));
    shapes->add_member(L"Epoch", 6, returns_date(25569.0));
    shapes->add_member(L"Noon", 7, returns_date(25569.5));
    shapes->add_member(L"Self", 8, returns_object(shapes));
    shapes->add_member(L"EmbeddedNul", 9, [](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocStringLen(L"ab\0cd", 5);
        return S_OK;
    });
    shapes->add_member(L"Unknown", 10, returns_unknown(static_cast<IDispatch*>(shapes)));
    shapes->add_member(L"Fraction", 11, [](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        V_VT(result) = VT_R8;
        V_R8(result) = 2.75;
        return S_OK;
    });
    return shapes;
}

TestDispatch* make_thrower()
{
    auto* thrower = new TestDispatch();
    thrower->add_member(L"Fail", 1, raises(L"Division by zero", false));
    thrower->add_member(L"FailBare", 2, raises(nullptr, false));
    thrower->add_member(L"FailLater", 3, raises(L"Filled in later", true));
    return thrower;
}

using InvocationTest = LayerTest;

enum class Operation { call, put, put_ref, text };

std::int64_t run(Operation operation, ComLineObject* object, const std::wstring& command,
                 ParsedCommand* prepared = nullptr)
{
    switch (operation) {
    case Operation::call:
        return object->methods->call_method(object, command, prepared);
    case Operation::put:
        return object->methods->write_property(object, command, prepared);
    case Operation::put_ref:
        return object->methods->write_property_ref(object, command, prepared);
    case Operation::text:
        object->methods->read_text(object, command, prepared);
        return last_error_code();
    }
    return -2;
}

struct ExpectedArgument {
    VARTYPE type;
    std::int64_t raw;  // compared on the type's width
    std::wstring text;
};

std::int64_t width_of(VARTYPE type, std::int64_t raw)
{
    switch (type) {
    case VT_I1:
    case VT_UI1:
        return raw & 0xFF;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return raw & 0xFFFF;
    case VT_I4:
    case VT_UI4:
    case VT_ERROR:
        return raw & 0xFFFFFFFF;
    default:
        return raw;
    }
}

std::int64_t bits_of(double value)
{
    std::int64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST_F(InvocationTest, HandsInvokeTheArgumentsInReverseOrderWithTheRightCallKind)
{
    TestDispatch* placeholder = make_recorder();
    std::int32_t by_ref_target = 0;
    const std::wstring placeholder_address = address_of(static_cast<IDispatch*>(placeholder));
    const std::wstring target_address = address_of(&by_ref_target);
    struct Row {
        const char* name;
        Operation operation;
        std::wstring command;
        WORD call_kind;
        std::vector<ExpectedArgument> arguments;  // element 0 of rgvarg first
        bool named_put;
        bool wants_result;
    };
    const std::vector<Row> rows{
        {"three integers", Operation::call, L"M(1, 2, 3)", DISPATCH_METHOD,
         {{VT_I1, 3, L""}, {VT_I1, 2, L""}, {VT_I1, 1, L""}}, false, false},
        {"mixed literals", Operation::call, L"M('a b', #true, 1.5)", DISPATCH_METHOD,
         {{VT_R8, bits_of(1.5), L""}, {VT_BOOL, 0xFFFF, L""}, {VT_BSTR, 0, L"a b"}}, false, false},
        {"omitted optional", Operation::call, L"M(#opt)", DISPATCH_METHOD,
         {{VT_ERROR, code_of(DISP_E_PARAMNOTFOUND), L""}}, false, false},
        {"property put", Operation::put, L"Value = 300", DISPATCH_PROPERTYPUT, {{VT_I2, 300, L""}}, true, false},
        {"UserMode = #True", Operation::put, L"Value = #True", DISPATCH_PROPERTYPUT, {{VT_BOOL, 0xFFFF, L""}},
         true, false},
        {"indexed put", Operation::put, L"Value(2) = 'x'", DISPATCH_PROPERTYPUT,
         {{VT_BSTR, 0, L"x"}, {VT_I1, 2, L""}}, true, false},
        {"put by reference", Operation::put_ref, L"Value = " + placeholder_address + L" as object",
         DISPATCH_PROPERTYPUTREF, {{VT_DISPATCH, reinterpret_cast<std::intptr_t>(static_cast<IDispatch*>(placeholder)), L""}},
         true, false},
        {"by-reference address", Operation::call, L"M(" + target_address + L" as long byref)", DISPATCH_METHOD,
         {{VT_I4 | VT_BYREF, reinterpret_cast<std::intptr_t>(&by_ref_target), L""}}, false, false},
        {"read with no arguments", Operation::text, L"M", CALL_GET, {}, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Wrapped recorder(make_recorder());
        std::int64_t outcome = run(row.operation, recorder.get(), row.command);
        EXPECT_EQ(outcome, 0);
        ASSERT_EQ(recorder.target().calls().size(), 1u);
        const SeenCall& call = recorder.target().calls()[0];
        EXPECT_EQ(call.call_kind, row.call_kind);
        EXPECT_EQ(call.locale, 0x400u);
        EXPECT_EQ(recorder.target().last_lookup_locale(), 0x400u);
        EXPECT_EQ(call.wanted_result, row.wants_result);
        ASSERT_EQ(call.arguments.size(), row.arguments.size());
        for (std::size_t i = 0; i < row.arguments.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(call.arguments[i].type, row.arguments[i].type);
            if (row.arguments[i].type == VT_BSTR) {
                EXPECT_FALSE(call.arguments[i].text_is_null);
                EXPECT_EQ(call.arguments[i].text, row.arguments[i].text);
            } else {
                EXPECT_EQ(width_of(row.arguments[i].type, call.arguments[i].raw), row.arguments[i].raw);
            }
        }
        if (row.named_put) {
            EXPECT_EQ(call.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
        } else {
            EXPECT_TRUE(call.named.empty());
        }
    }
    placeholder->Release();
}

TEST_F(InvocationTest, AByReferenceArgumentLetsTheMemberWriteIntoTheCallersVariable)
{
    auto* writer = new TestDispatch();
    writer->add_member(L"Fill", 1, [](const DISPPARAMS& parameters, WORD, VARIANT*, EXCEPINFO*) {
        if (parameters.cArgs != 1 || V_VT(&parameters.rgvarg[0]) != (VT_I4 | VT_BYREF)) {
            return DISP_E_TYPEMISMATCH;
        }
        *V_I4REF(&parameters.rgvarg[0]) = 42;
        return S_OK;
    });
    Wrapped wrapped(writer);
    std::int32_t target = 0;
    EXPECT_EQ(call_method(wrapped.get(), L"Fill(" + address_of(&target) + L" as long byref)"), 0);
    EXPECT_EQ(target, 42);
}

TEST_F(InvocationTest, ReportsAnExceptionByItsDescription)
{
    struct Row {
        const char* name;
        Operation operation;
        std::wstring command;
        std::wstring text;
    };
    const std::wstring generic = L"An exception occurred during the execution of this method/property.";
    const std::vector<Row> rows{
        {"method with description", Operation::call, L"Fail", L"Division by zero"},
        {"read with description", Operation::text, L"Fail", L"Division by zero"},
        {"put with description", Operation::put, L"Fail = 1", L"Division by zero"},
        {"method without description", Operation::call, L"FailBare", generic},
        {"deferred fill-in", Operation::call, L"FailLater", L"Filled in later"},
        {"deferred fill-in on read", Operation::text, L"FailLater(1, 'x')", L"Filled in later"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Wrapped thrower(make_thrower());
        record_error(nullptr, 0, false, {});
        EXPECT_EQ(run(row.operation, thrower.get(), row.command), code_of(DISP_E_EXCEPTION));
        EXPECT_EQ(last_error_code(), code_of(DISP_E_EXCEPTION));
        EXPECT_EQ(last_error_text(), row.text);
    }
}

TEST_F(InvocationTest, AnExceptionInTheMiddleOfAPathStopsTheWalk)
{
    auto* thrower = make_thrower();
    Wrapped shapes(make_shapes());
    shapes.target().add_member(L"Thrower", 20, returns_object(thrower));
    EXPECT_EQ(call_method(shapes.get(), L"Thrower\\Fail\\Number"), code_of(DISP_E_EXCEPTION));
    EXPECT_EQ(last_error_text(), L"Division by zero");
    EXPECT_EQ(thrower->references(), 1u);
    thrower->Release();
}

TEST_F(InvocationTest, ANullObjectInThePathIsReportedByTheMembersName)
{
    struct Row {
        std::wstring command;
        std::wstring member;
    };
    for (const Row& row : {Row{L"Nothing\\Number", L"Nothing"}, Row{L"Self\\Nothing\\Number", L"Nothing"},
                           Row{L"Self\\Self\\nothing\\Word", L"nothing"}}) {
        SCOPED_TRACE(row.command);
        Wrapped shapes(make_shapes());
        EXPECT_EQ(call_method(shapes.get(), row.command), 1);
        EXPECT_EQ(last_error_code(), 1);
        EXPECT_EQ(last_error_text(), null_member_text(row.member));
        EXPECT_EQ(read_integer(shapes.get(), row.command), 0);
        EXPECT_EQ(last_error_text(), null_member_text(row.member));
        EXPECT_EQ(write_property(shapes.get(), row.command + L" = 1"), 1);
    }
}

TEST_F(InvocationTest, AValueInTheMiddleOfAPathThatIsNoObjectFailsItsConversion)
{
    // An empty result is no object either: OLE Automation refuses to convert it to one.
    for (const wchar_t* command :
         {L"Number\\Word", L"Word\\Number", L"Self\\Epoch\\Number", L"Empty\\Number", L"NullText\\Number"}) {
        SCOPED_TRACE(command);
        Wrapped shapes(make_shapes());
        EXPECT_EQ(call_method(shapes.get(), command), code_of(DISP_E_TYPEMISMATCH));
        EXPECT_EQ(last_error_text(), L"Type mismatch in the method parameters.");
    }
}

TEST_F(InvocationTest, AnObjectGivenAsIUnknownInThePathIsWalkedThrough)
{
    Wrapped shapes(make_shapes());
    EXPECT_EQ(read_integer(shapes.get(), L"Unknown\\Number"), -1);
    EXPECT_EQ(last_error_code(), 0);
}

TEST_F(InvocationTest, ConvertsResultsToTheOperationsType)
{
    Wrapped shapes(make_shapes());
    ComLineObject* object = shapes.get();

    EXPECT_EQ(read_integer(object, L"Number"), -1);
    EXPECT_EQ(read_integer(object, L"Self\\Number"), -1);
    EXPECT_EQ(read_text(object, L"Number"), L"-1");
    EXPECT_EQ(read_text(object, L"Word"), L"hello");
    EXPECT_EQ(read_text(object, L"EmbeddedNul"), L"ab");
    EXPECT_DOUBLE_EQ(read_real(object, L"Fraction"), 2.75);
    EXPECT_DOUBLE_EQ(read_real(object, L"Number"), -1.0);
    EXPECT_EQ(read_integer(object, L"Fraction"), 3);  // VariantChangeType rounds half to even
    EXPECT_EQ(read_date(object, L"Epoch"), 0);
    EXPECT_EQ(read_date(object, L"Noon"), 43200);
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(last_error_text(), L"Okay.");

    EXPECT_EQ(read_text(object, L"NullText"), L"");
    EXPECT_EQ(last_error_code(), 0);

    VARIANT* value = read_variant(object, L"Number");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(V_VT(value), VT_I4);
    EXPECT_EQ(V_I4(value), -1);
    free_variant(value);
}

// An OLE date's integer part counts days from 1899-12-30 and its fraction is the time of day,
// also before that day: -1.25 is 1899-12-29 06:00.
TEST_F(InvocationTest, ReadDateTakesTheFractionAsTheTimeOfDayWhateverTheSign)
{
    const struct {
        const char* label;
        double ole_date;
        std::int64_t seconds;
    } cases[] = {
        {"1899-12-29 06:00", -1.25, -2209226400},
        {"1899-12-30 12:00", -0.5, -2209118400},
        {"1899-12-30 06:00", 0.25, -2209140000},
        {"1970-01-01 12:00", 25569.5, 43200},
        {"1700-03-01 18:00", -72987.75, -8515173600},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        auto* dates = new TestDispatch();
        dates->add_member(L"When", 1, returns_date(row.ole_date));
        Wrapped wrapped(dates);
        EXPECT_EQ(read_date(wrapped.get(), L"When"), row.seconds);
        EXPECT_EQ(last_error_code(), 0);
    }
}

TEST_F(InvocationTest, ReadIntegerWidensEveryIntegerTypeAsOleAutomationDoes)
{
    struct Row {
        const char* name;
        VARTYPE type;
        std::int64_t raw;
    };
    const std::vector<Row> rows{
        {"VT_I1 -5", VT_I1, 0xFB},          {"VT_UI1 200", VT_UI1, 200},
        {"VT_I2 -300", VT_I2, 0xFED4},       {"VT_UI2 65535", VT_UI2, 0xFFFF},
        {"VT_I4 min", VT_I4, 0x80000000},    {"VT_UI4 max", VT_UI4, 0xFFFFFFFF},
        {"VT_INT -1", VT_INT, 0xFFFFFFFF},   {"VT_UINT max", VT_UINT, 0xFFFFFFFF},
        {"VT_BOOL true", VT_BOOL, 0xFFFF},   {"VT_BOOL false", VT_BOOL, 0},
        {"VT_R8 2.5", VT_R8, 0},             {"VT_BSTR", VT_BSTR, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto make_value = [row](VARIANT& value) {
            ::VariantInit(&value);
            V_VT(&value) = row.type;
            if (row.type == VT_R8) {
                V_R8(&value) = 2.5;
            } else if (row.type == VT_BSTR) {
                V_BSTR(&value) = ::SysAllocString(L"-77");
            } else {
                value.llVal = row.raw;
            }
        };
        // The reference: OLE Automation's own conversion of the same value.
        VARIANT expected;
        make_value(expected);
        ASSERT_EQ(::VariantChangeType(&expected, &expected, VARIANT_LOCALBOOL, VT_I8), S_OK);
        auto* source = new TestDispatch();
        source->add_member(L"Value", 1, [make_value](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
            make_value(*result);
            return S_OK;
        });
        Wrapped wrapped(source);
        EXPECT_EQ(read_integer(wrapped.get(), L"Value"), V_I8(&expected));
        EXPECT_EQ(last_error_code(), 0);
    }
}

TEST_F(InvocationTest, AFailedConversionGivesTheEmptyValueAndItsCode)
{
    Wrapped shapes(make_shapes());
    ComLineObject* object = shapes.get();
    EXPECT_EQ(read_integer(object, L"Word"), 0);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
    EXPECT_DOUBLE_EQ(read_real(object, L"Word"), 0.0);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
    EXPECT_EQ(read_date(object, L"Word"), 0);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
    EXPECT_EQ(read_variant(object, L"Missing"), nullptr);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_UNKNOWNNAME));
    EXPECT_EQ(last_error_text(), L"Method/property not supported by this object.");
}

TEST_F(InvocationTest, ReadObjectGivesANewObjectANullOrARawInterface)
{
    Wrapped shapes(make_shapes());
    ComLineObject* object = shapes.get();

    auto* self = static_cast<ComLineObject*>(read_object(object, L"Self", nullptr, VT_DISPATCH));
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(live_object_count(), 2);
    EXPECT_EQ(self->dispatch, static_cast<IDispatch*>(&shapes.target()));
    EXPECT_EQ(self->methods, &OBJECT_METHODS);
    EXPECT_EQ(self->container_control, 0);
    EXPECT_EQ(self->container_window, nullptr);
    EXPECT_EQ(self->event_sink, nullptr);
    EXPECT_EQ(read_integer(self, L"Number"), -1);
    release_object(self);
    EXPECT_EQ(live_object_count(), 1);

    EXPECT_EQ(read_object(object, L"Nothing", nullptr, VT_DISPATCH), nullptr);
    EXPECT_EQ(last_error_code(), 1);
    EXPECT_EQ(last_error_text(), NULL_OBJECT_TEXT);

    EXPECT_EQ(read_object(object, L"Word", nullptr, VT_DISPATCH), nullptr);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));

    auto* unknown = static_cast<IUnknown*>(read_object(object, L"Self", nullptr, VT_UNKNOWN));
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(shapes.target().references(), 3u);  // the test's, the wrapper's and this one
    unknown->Release();
    EXPECT_EQ(live_object_count(), 1);

    // Any type but VT_DISPATCH asks for IUnknown.
    unknown = static_cast<IUnknown*>(read_object(object, L"Self", nullptr, 12345));
    ASSERT_NE(unknown, nullptr);
    unknown->Release();
}

TEST_F(InvocationTest, GetDispatchHandsOutAnAddedReference)
{
    Wrapped shapes(make_shapes());
    record_error(nullptr, code_of(E_FAIL), false, {});
    IDispatch* dispatch = shapes.get()->methods->get_dispatch(shapes.get());
    EXPECT_EQ(dispatch, static_cast<IDispatch*>(&shapes.target()));
    EXPECT_EQ(shapes.target().references(), 3u);
    EXPECT_EQ(last_error_code(), 0);
    dispatch->Release();
}

TEST_F(InvocationTest, AnEmptyCommandReachesNoObject)
{
    Wrapped recorder(make_recorder());
    ComLineObject* object = recorder.get();
    const std::int64_t invalid = code_of(E_INVALIDARG);
    EXPECT_EQ(call_method(object, L""), invalid);
    EXPECT_EQ(write_property(object, L""), invalid);
    EXPECT_EQ(write_property_ref(object, L""), invalid);
    EXPECT_EQ(read_integer(object, L""), 0);
    EXPECT_EQ(last_error_code(), invalid);
    EXPECT_EQ(read_text(object, L""), L"");
    EXPECT_EQ(last_error_code(), invalid);
    EXPECT_DOUBLE_EQ(read_real(object, L""), 0.0);
    EXPECT_EQ(read_date(object, L""), 0);
    EXPECT_EQ(read_variant(object, L""), nullptr);
    EXPECT_EQ(last_error_code(), invalid);
    EXPECT_EQ(read_object(object, L"", nullptr, VT_DISPATCH), nullptr);
    EXPECT_EQ(last_error_code(), invalid);
    EXPECT_EQ(recorder.target().name_lookups(), 0);
    EXPECT_TRUE(recorder.target().calls().empty());
}

const std::wstring INVALID_ARGUMENT_TEXT =
    L"One or more arguments are invalid. Possibly a numerical overflow or too many nested objects, -if so, try "
    L"splitting your method call into two or more subcalls.";
const std::wstring INVALID_POINTER_TEXT = L"An invalid pointer was supplied.";

// Commands refused before the layer makes any call on the object: malformed ones, a put with no
// value (which would hand Invoke a named argument that is not there), and a small number used as
// an address (which the layer would follow into the null page).
TEST_F(InvocationTest, ARefusedCommandIsReportedAndReachesNoObject)
{
    const struct {
        Operation operation;
        const wchar_t* command;
        bool prepared;
        HRESULT code;
        const std::wstring& text;
    } cases[] = {
        {Operation::call, L"M(", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::call, L"M(1,)", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::call, L"a\\\\b", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::call, L"M(1) = 2 = 3", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::call, L"M('open", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::put, L"Value =", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::put, L"Value", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::put_ref, L"Value =", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::put, L"M\\Value =", false, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::put, L"Value =", true, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::put_ref, L"Value", true, E_INVALIDARG, INVALID_ARGUMENT_TEXT},
        {Operation::call, L"M(5 as variant)", false, E_POINTER, INVALID_POINTER_TEXT},
        {Operation::call, L"M(7 byref)", false, E_POINTER, INVALID_POINTER_TEXT},
        {Operation::call, L"M(9 as object)", false, E_POINTER, INVALID_POINTER_TEXT},
        {Operation::put, L"Value = 9 as comlineobject", false, E_POINTER, INVALID_POINTER_TEXT},
        {Operation::text, L"M(9 as iunknown)", false, E_POINTER, INVALID_POINTER_TEXT},
    };
    Wrapped recorder(make_recorder());
    for (const auto& row : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.command)) + (row.prepared ? " prepared" : ""));
        record_error(nullptr, code_of(E_FAIL), false, {});
        ParsedCommand* prepared = nullptr;
        if (row.prepared) {
            ASSERT_EQ(parse_command(row.command, &prepared), 0);
        }
        EXPECT_EQ(run(row.operation, recorder.get(), row.prepared ? L"" : row.command, prepared), code_of(row.code));
        EXPECT_EQ(last_error_code(), code_of(row.code));
        EXPECT_EQ(last_error_text(), row.text);
        free_parsed_command(prepared);
    }
    EXPECT_EQ(recorder.target().name_lookups(), 0);
    EXPECT_TRUE(recorder.target().calls().empty());
}

TEST_F(InvocationTest, AnUnknownMemberIsReportedAsSuch)
{
    Wrapped recorder(make_recorder());
    EXPECT_EQ(call_method(recorder.get(), L"Nope(1)"), code_of(DISP_E_UNKNOWNNAME));
    EXPECT_EQ(last_error_text(), L"Method/property not supported by this object.");
    EXPECT_TRUE(recorder.target().calls().empty());
}

TEST_F(InvocationTest, APreparedCommandIsUsedInsteadOfTheTextAndStaysItsOwners)
{
    Wrapped recorder(make_recorder());
    ParsedCommand* prepared = nullptr;
    ASSERT_EQ(parse_command(L"M(5, 'x')", &prepared), 0);
    EXPECT_EQ(call_method(recorder.get(), L"", prepared), 0);
    EXPECT_EQ(call_method(recorder.get(), L"Value", prepared), 0);
    EXPECT_EQ(read_integer(recorder.get(), L"", prepared), 1);
    ASSERT_EQ(recorder.target().calls().size(), 3u);
    for (const SeenCall& call : recorder.target().calls()) {
        EXPECT_EQ(call.member, MEMBER_M);
        ASSERT_EQ(call.arguments.size(), 2u);
        EXPECT_EQ(call.arguments[0].text, L"x");
    }
    free_parsed_command(prepared);
}

TEST_F(InvocationTest, InvokeCommandReportsNothingItself)
{
    Wrapped shapes(make_shapes());
    record_error(nullptr, code_of(E_FAIL), false, {});
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(invoke_command(shapes.get(), CALL_GET, VT_BSTR, &result, L"Number", nullptr), 0);
    EXPECT_EQ(V_VT(&result), VT_BSTR);
    ::VariantClear(&result);
    EXPECT_EQ(last_error_code(), code_of(E_FAIL));
    EXPECT_EQ(invoke_command(shapes.get(), CALL_GET, VT_EMPTY, nullptr, L"Nothing\\Word", nullptr),
              ALREADY_REPORTED);
    EXPECT_EQ(last_error_code(), 1);
}

}  // namespace
}  // namespace tovalen::comline::testing
