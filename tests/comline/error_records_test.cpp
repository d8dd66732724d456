// The per-thread error record: every worded code, the rules that keep a precise outcome, and the
// record's life across threads.
#include "comline/error_records.h"
#include "comline/gate.h"
#include "comline/layer_fixture.h"
#include "comline/test_objects.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace tovalen::comline {
namespace {

using testing::code_of;
using testing::Gate;

const std::wstring INVALID_CLASS =
    L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
    L"the component / ActiveX control has been registered.";

std::wstring unknown_sentence(const std::wstring& hex)
{
    return L"Unknown error. (Code : Hex " + hex +
           L"). Please report this error code to the author at 'comline-support@example.com'";
}

// The system's own text for a Win32 error, read independently of the code under test.
std::wstring system_text_of(DWORD number)
{
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number, 0,
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr) {
        ::LocalFree(buffer);
    }
    return text;
}

class ErrorRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { free_error_records(); }
    void TearDown() override
    {
        free_error_records();
        EXPECT_FALSE(error_records_allocated());
    }
};

struct WordingRow {
    const char* name;
    std::int64_t code;
    bool from_exception;
    std::wstring detail;
    std::wstring expected;
};

TEST_F(ErrorRecordsTest, WordsEveryCodeOfTheTableExactly)
{
    const std::vector<WordingRow> rows{
        {"S_OK", 0, false, L"", L"Okay."},
        {"S_OK ignores a detail", 0, false, L"extra", L"Okay."},
        {"S_FALSE without detail", 1, false, L"",
         L"The operation completed, but was only partially successful."},
        {"S_FALSE with detail", 1, false, L"The property returned a NULL object!",
         L"The operation completed, but was only partially successful. (The property returned a "
         L"NULL object!)"},
        {"E_FAIL", code_of(E_FAIL), false, L"", L"Unspecified error."},
        {"E_INVALIDARG", code_of(E_INVALIDARG), false, L"",
         L"One or more arguments are invalid. Possibly a numerical overflow or too many nested "
         L"objects, -if so, try splitting your method call into two or more subcalls."},
        {"E_NOINTERFACE", code_of(E_NOINTERFACE), false, L"", L"Method is not implemented."},
        {"E_OUTOFMEMORY", code_of(E_OUTOFMEMORY), false, L"",
         L"Problem allocating memory.\r\n\r\n(Possibly too many method arguments. Each "
         L"method/property is limited by ComLine to a maximum of 20 arguments.)"},
        {"E_UNEXPECTED", code_of(E_UNEXPECTED), false, L"", L"An unexpected error."},
        {"E_POINTER", code_of(E_POINTER), false, L"", L"An invalid pointer was supplied."},
        {"E_NOTIMPL", code_of(E_NOTIMPL), false, L"",
         L"Not implemented. In the case of attaching an event handler to a COM object, this could "
         L"signify that the object does not provide any type information."},
        {"CO_E_CLASSSTRING", 0x800401F3, false, L"", INVALID_CLASS},
        {"REGDB_E_CLASSNOTREG", 0x80040154, false, L"", INVALID_CLASS},
        {"CO_E_SERVER_EXEC_FAILURE", 0x80080005, false, L"",
         L"Server execution failed. Usually caused by an 'out of process server' timing out when "
         L"asked to create an instance of a 'class factory'."},
        {"DISP_E_TYPEMISMATCH", 0x80020005, false, L"", L"Type mismatch in the method parameters."},
        {"TYPE_E_ELEMENTNOTFOUND", 0x8002802B, false, L"",
         L"No type description was found in the library with the specified GUID whilst trying to "
         L"create an event handler."},
        {"CONNECT_E_ADVISELIMIT", 0x80040201, false, L"",
         L"Unable to set event handler because the connection point has already reached its limit "
         L"of connections."},
        {"CLASS_E_NOAGGREGATION", 0x80040110, false, L"",
         L"Class does not support aggregation (or class object is remote)."},
        {"DISP_E_OVERFLOW", 0x8002000A, false, L"", L"Overflow error whilst converting between types."},
        {"DISP_E_UNKNOWNNAME", 0x80020006, false, L"", L"Method/property not supported by this object."},
        {"DISP_E_BADPARAMCOUNT", 0x8002000E, false, L"", L"Invalid number of method/property parameters."},
        {"DISP_E_BADVARTYPE", 0x80020008, false, L"",
         L"A method/property parameter is not a valid (variant) type."},
        {"DISP_E_MEMBERNOTFOUND", 0x80020003, false, L"",
         L"Member not found. (Check that you have not omitted any optional parameters and are not "
         L"trying to set a read-only property etc.)"},
        {"DISP_E_NOTACOLLECTION", 0x80020011, false, L"", L"Does not support a collection."},
        {"E_ACCESSDENIED", 0x80070005, false, L"", L"A 'general' access denied error."},
        {"RPC_E_WRONG_THREAD", 0x8001010E, false, L"",
         L"The application called upon an interface that was marshalled for a different thread."},
        {"DISP_E_EXCEPTION with description", 0x80020009, true, L"Division by zero",
         L"Division by zero"},
        {"DISP_E_EXCEPTION without description", 0x80020009, true, L"",
         L"An exception occurred during the execution of this method/property."},
        {"MK_E_UNAVAILABLE", 0x800401E3, false, L"", unknown_sentence(L"800401E3")},
        {"WBEM_E_NOT_FOUND", 0x80041010, false, L"", unknown_sentence(L"80041010")},
        {"bare 5", 5, false, L"", unknown_sentence(L"5")},
        {"high bits beyond 32 are not shown", 0x1234'80041010LL, false, L"",
         unknown_sentence(L"80041010")},
    };
    for (const WordingRow& row : rows) {
        SCOPED_TRACE(row.name);
        record_error(nullptr, row.code, row.from_exception, row.detail);
        EXPECT_EQ(last_error_code(), row.code);
        EXPECT_EQ(last_error_text(), row.expected);
    }
}

TEST_F(ErrorRecordsTest, WordsWin32CodesWithTheSystemText)
{
    struct Row {
        std::int64_t code;
        DWORD number;
    };
    // 193, ERROR_BAD_EXE_FORMAT, has an insert ("%1 is not a valid ..."): its text stands as written.
    for (const Row& row : {Row{0x80070002, 2}, Row{0x00070002, 2}, Row{0x80070003, 3}, Row{0x800700C1, 193}}) {
        SCOPED_TRACE(row.code);
        std::wstring system_text = system_text_of(row.number);
        ASSERT_FALSE(system_text.empty());
        record_error(nullptr, row.code, false, L"");
        EXPECT_EQ(last_error_code(), row.code);
        EXPECT_EQ(last_error_text(),
                  L"(FACILITY_WIN32 error " + std::to_wstring(row.number) + L") " + system_text);
        EXPECT_EQ(last_error_text().back(), L'\n');
    }
}

TEST_F(ErrorRecordsTest, WordsAWin32CodeWithoutSystemTextByTheFixedSentence)
{
    ASSERT_TRUE(system_text_of(0xFFFF).empty());
    record_error(nullptr, 0x8007FFFF, false, L"");
    EXPECT_EQ(last_error_text(),
              L"(FACILITY_WIN32 error 65535) Unable to retrieve error description from system!");
}

TEST_F(ErrorRecordsTest, SuccessAfterAFailureReadsOkay)
{
    record_error(nullptr, code_of(E_FAIL), false, L"");
    ASSERT_EQ(last_error_code(), code_of(E_FAIL));
    record_error(nullptr, 0, false, L"");
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(last_error_text(), L"Okay.");
}

TEST_F(ErrorRecordsTest, KeepsTheInvocationsExceptionWhenTheOperationReportsItAgain)
{
    record_error(nullptr, 0x80020009, true, L"Object required: 'x'");
    record_error(nullptr, 0x80020009, false, L"");
    EXPECT_EQ(last_error_code(), 0x80020009);
    EXPECT_EQ(last_error_text(), L"Object required: 'x'");
}

TEST_F(ErrorRecordsTest, AnExceptionReportedByTheOperationAloneMakesNoRecord)
{
    record_error(nullptr, 0x80020009, false, L"lost");
    EXPECT_EQ(error_record_count(), 0);
    EXPECT_EQ(last_error_code(), 0);
}

TEST_F(ErrorRecordsTest, MinusOneChangesNothing)
{
    record_error(nullptr, ALREADY_REPORTED, false, L"");
    EXPECT_EQ(error_record_count(), 0);
    EXPECT_EQ(last_error_code(), 0);

    record_error(nullptr, 1, false, L"The 'b' property returned a NULL object!");
    record_error(nullptr, ALREADY_REPORTED, false, L"");
    EXPECT_EQ(last_error_code(), 1);
    EXPECT_EQ(last_error_text(), L"The operation completed, but was only partially successful. "
                                 L"(The 'b' property returned a NULL object!)");
}

TEST_F(ErrorRecordsTest, ALongDetailAfterAShortTextIsKeptWhole)
{
    record_error(nullptr, 0, false, L"");
    std::wstring detail(5000, L'x');
    record_error(nullptr, 0x80020009, true, detail);
    EXPECT_EQ(last_error_text(), detail);
    record_error(nullptr, 0, false, L"");
    EXPECT_EQ(last_error_text(), L"Okay.");
}

TEST_F(ErrorRecordsTest, FreeingForgetsEveryRecordAndTheNextReportStartsAgain)
{
    record_error(nullptr, code_of(E_FAIL), false, L"");
    ASSERT_TRUE(error_records_allocated());
    free_error_records();
    EXPECT_FALSE(error_records_allocated());
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(last_error_text(), L"");
    free_error_records();  // a second free with nothing allocated is harmless

    record_error(nullptr, code_of(E_POINTER), false, L"");
    EXPECT_EQ(last_error_code(), code_of(E_POINTER));
    EXPECT_EQ(error_record_count(), 1);
}

TEST_F(ErrorRecordsTest, TwoThreadsEachReadBackTheirOwnCode)
{
    Gate first_reported;
    Gate second_reported;
    std::int64_t seen_first = 0;
    std::int64_t seen_second = 0;
    std::thread first([&] {
        record_error(nullptr, code_of(E_FAIL), false, L"");
        first_reported.open();
        second_reported.wait();
        seen_first = last_error_code();
    });
    std::thread second([&] {
        record_error(nullptr, code_of(E_POINTER), false, L"");
        second_reported.open();
        first_reported.wait();
        seen_second = last_error_code();
    });
    first.join();
    second.join();
    EXPECT_EQ(seen_first, code_of(E_FAIL));
    EXPECT_EQ(seen_second, code_of(E_POINTER));
    EXPECT_EQ(last_error_code(), 0);  // this thread reported nothing
    EXPECT_EQ(error_record_count(), 2);
}

TEST_F(ErrorRecordsTest, ManyThreadsMakingTheirFirstRecordAtOnceAreAllRegistered)
{
    constexpr int THREADS = 16;
    constexpr int REPORTS = 200;
    Gate start;
    std::vector<std::thread> threads;
    std::vector<int> mismatches(THREADS, 0);
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            start.wait();
            for (int i = 0; i < REPORTS; ++i) {
                std::int64_t code = (i % 2 == 0) ? code_of(E_FAIL) : 0x80070000 + t;
                record_error(nullptr, code, false, L"");
                if (last_error_code() != code) {
                    ++mismatches[t];
                }
            }
        });
    }
    start.open();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(error_record_count(), THREADS);
    for (int t = 0; t < THREADS; ++t) {
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    }
}

TEST_F(ErrorRecordsTest, AfterFreeingEveryThreadReadsZeroUntilItReportsAgain)
{
    Gate reported;
    Gate freed;
    Gate reread;
    Gate reported_again;
    std::int64_t after_free = -2;
    std::int64_t after_new_report = -2;
    std::thread worker([&] {
        record_error(nullptr, code_of(E_FAIL), false, L"");
        reported.open();
        freed.wait();
        after_free = last_error_code();
        reread.open();
        reported_again.wait();
        after_new_report = last_error_code();
    });
    record_error(nullptr, code_of(E_POINTER), false, L"");
    reported.wait();
    free_error_records();
    freed.open();
    reread.wait();
    // A new slot may reuse the freed index; the worker must still read nothing.
    record_error(nullptr, code_of(E_ACCESSDENIED), false, L"");
    reported_again.open();
    worker.join();
    EXPECT_EQ(after_free, 0);
    EXPECT_EQ(after_new_report, 0);
    EXPECT_EQ(last_error_code(), code_of(E_ACCESSDENIED));
}

// A host that preserves the outcome on a thread with no record of its own, while another thread's
// record made the slot before the work or during it; an object keeps the records alive.
TEST_F(ErrorRecordsTest, AnOutcomePutBackOnAThreadWithoutARecordLeavesItReadingNothing)
{
    testing::TestDispatch keeper(testing::AtZero::stays);
    ComLineObject* alive = wrap_interface(&keeper);
    for (bool slot_before_work : {true, false}) {
        SCOPED_TRACE(slot_before_work);
        free_error_records();
        const std::int64_t other_code = slot_before_work ? code_of(E_FAIL) : code_of(E_POINTER);
        if (slot_before_work) {
            record_error(nullptr, other_code, false, L"");
        }
        Gate preserved;
        Gate other_recorded;
        std::int64_t code_after = -2;
        std::wstring text_after = L"unread";
        std::thread host([&] {
            {
                const PreservedOutcome unseen;
                preserved.open();
                other_recorded.wait();
            }
            code_after = last_error_code();
            text_after = last_error_text();
        });
        preserved.wait();
        if (!slot_before_work) {
            record_error(nullptr, other_code, false, L"");
        }
        other_recorded.open();
        host.join();
        EXPECT_EQ(code_after, 0);
        EXPECT_EQ(text_after, L"");
        EXPECT_EQ(last_error_code(), other_code);
        EXPECT_EQ(error_record_count(), 2);
    }
    release_object(alive);
}

}  // namespace
}  // namespace tovalen::comline
