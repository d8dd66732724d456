#include "report/collectors.h"

#include "platform/system_calls.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovalen {
namespace {

std::wstring test_key_path()
{
    return L"Software\\Tovalen Tests\\Registry " + std::to_wstring(::GetCurrentProcessId());
}

// Every value is written for real under the current user's key, in a key of this test run only.
class RegistryReader : public ::testing::Test {
protected:
    static std::wstring key_path() { return test_key_path(); }

    static void SetUpTestSuite()
    {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key_path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key_.put(), nullptr),
                  ERROR_SUCCESS);
    }

    static void TearDownTestSuite()
    {
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, key_path().c_str());
    }

    static void write(const wchar_t* name, DWORD type, const void* data, std::size_t size)
    {
        ASSERT_EQ(::RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }

    static void write_text(const wchar_t* name, DWORD type, std::wstring_view text_with_nulls)
    {
        write(name, type, text_with_nulls.data(), text_with_nulls.size() * sizeof(wchar_t));
    }

    static std::wstring read(const wchar_t* name) { return read_registry_value(HKEY_CURRENT_USER, key_path(), name); }

    static platform::UniqueKey key_;
};

platform::UniqueKey RegistryReader::key_;

TEST_F(RegistryReader, TextIsReadUpToItsFirstNull)
{
    write_text(L"sz", REG_SZ, std::wstring_view(L"Windows 10 Pro\0junk", 20));
    EXPECT_EQ(read(L"sz"), L"Windows 10 Pro");
}

TEST_F(RegistryReader, TextWithoutTerminatorEndsWithItsData)
{
    write_text(L"sz_unterminated", REG_SZ, L"abc");
    EXPECT_EQ(read(L"sz_unterminated"), L"abc");
}

TEST_F(RegistryReader, TextWithoutDataIsEmpty)
{
    write(L"sz_empty", REG_SZ, nullptr, 0);
    EXPECT_EQ(read(L"sz_empty"), L"");
}

TEST_F(RegistryReader, ExpandableTextIsExpandedButPlainTextIsNot)
{
    wchar_t system_root[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"SystemRoot", system_root, MAX_PATH), 0u);
    write_text(L"expand", REG_EXPAND_SZ, std::wstring_view(L"%SystemRoot%\\System32\0", 22));
    write_text(L"not_expanded", REG_SZ, std::wstring_view(L"%SystemRoot%\\System32\0", 22));
    EXPECT_EQ(read(L"expand"), std::wstring(system_root) + L"\\System32");
    EXPECT_EQ(read(L"not_expanded"), L"%SystemRoot%\\System32");
}

TEST_F(RegistryReader, ExpandableTextWithoutDataIsEmpty)
{
    write(L"expand_empty", REG_EXPAND_SZ, nullptr, 0);
    write(L"expand_one_byte", REG_EXPAND_SZ, "x", 1);
    EXPECT_EQ(read(L"expand_empty"), L"");
    EXPECT_EQ(read(L"expand_one_byte"), L"");
}

TEST_F(RegistryReader, NumbersAreSigned)
{
    const DWORD answer = 42;
    const DWORD all_ones = 0xFFFFFFFF;
    const DWORD lowest = 0x80000000;
    const ULONGLONG lowest_quad = 0x8000000000000000ull;
    write(L"dword_42", REG_DWORD, &answer, 4);
    write(L"dword_all_ones", REG_DWORD, &all_ones, 4);
    write(L"dword_lowest", REG_DWORD, &lowest, 4);
    write(L"qword_lowest", REG_QWORD, &lowest_quad, 8);
    EXPECT_EQ(read(L"dword_42"), L"42");
    EXPECT_EQ(read(L"dword_all_ones"), L"-1");
    EXPECT_EQ(read(L"dword_lowest"), L"-2147483648");
    EXPECT_EQ(read(L"qword_lowest"), L"-9223372036854775808");
}

TEST_F(RegistryReader, NumbersWithTooLittleDataAreEmpty)
{
    const unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    write(L"dword_short", REG_DWORD, bytes, 3);
    write(L"dword_none", REG_DWORD, nullptr, 0);
    write(L"qword_short", REG_QWORD, bytes, 7);
    write(L"qword_none", REG_QWORD, nullptr, 0);
    EXPECT_EQ(read(L"dword_short"), L"");
    EXPECT_EQ(read(L"dword_none"), L"");
    EXPECT_EQ(read(L"qword_short"), L"");
    EXPECT_EQ(read(L"qword_none"), L"");
}

TEST_F(RegistryReader, BinaryIsShownAsHexGroupsUpTo2096Bytes)
{
    const unsigned char three[] = {0x00, 0xFF, 0x10};
    std::vector<unsigned char> big(3000);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<unsigned char>(i * 7);
    }
    write(L"binary_three", REG_BINARY, three, sizeof(three));
    write(L"binary_big", REG_BINARY, big.data(), big.size());
    write(L"binary_empty", REG_BINARY, nullptr, 0);
    EXPECT_EQ(read(L"binary_three"), L"$00,$FF,$10");
    const std::wstring text = read(L"binary_big");
    EXPECT_EQ(text.size(), 8383u);
    EXPECT_EQ(text.substr(text.size() - 4), L",$49");  // the byte at offset 2095: 2095 * 7 mod 256
    EXPECT_EQ(read(L"binary_empty"), L"");
}

TEST_F(RegistryReader, MultiStringsAreJoinedByLineFeeds)
{
    write_text(L"multi_usual", REG_MULTI_SZ, std::wstring_view(L"one\0two\0\0", 9));
    write_text(L"multi_no_final", REG_MULTI_SZ, std::wstring_view(L"one\0two", 7));
    write_text(L"multi_no_terminators", REG_MULTI_SZ, L"one");
    EXPECT_EQ(read(L"multi_usual"), L"one\ntwo\n");
    EXPECT_EQ(read(L"multi_no_final"), L"one\ntwo");
    EXPECT_EQ(read(L"multi_no_terminators"), L"one");
}

TEST_F(RegistryReader, OtherTypesAreEmpty)
{
    const unsigned char bytes[] = {0, 0, 0, 1};
    write(L"none", REG_NONE, bytes, sizeof(bytes));
    write(L"big_endian", REG_DWORD_BIG_ENDIAN, bytes, sizeof(bytes));
    EXPECT_EQ(read(L"none"), L"");
    EXPECT_EQ(read(L"big_endian"), L"");
}

TEST_F(RegistryReader, MissingKeyOrValueIsEmpty)
{
    EXPECT_EQ(read(L"no such value"), L"");
    EXPECT_EQ(read_registry_value(HKEY_CURRENT_USER, key_path() + L"\\no such key", L"sz"), L"");
}

TEST_F(RegistryReader, OneBackslashAtEachEndOfThePathIsIgnored)
{
    write_text(L"path", REG_SZ, L"found");
    EXPECT_EQ(read_registry_value(HKEY_CURRENT_USER, L"\\" + key_path() + L"\\", L"path"), L"found");
    // Only one is removed: the rest of a doubled backslash makes a path that does not exist.
    EXPECT_EQ(read_registry_value(HKEY_CURRENT_USER, L"\\\\" + key_path(), L"path"), L"");
}

TEST_F(RegistryReader, ResultRecordTellsTypeSizeAndFailure)
{
    const DWORD answer = 42;
    write(L"record_dword", REG_DWORD, &answer, 4);
    RegistryReadResult found;
    EXPECT_EQ(read_registry_value(HKEY_CURRENT_USER, key_path(), L"record_dword", false, &found), L"42");
    EXPECT_EQ(found.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(found.size, 4u);
    EXPECT_EQ(found.status, ERROR_SUCCESS);
    RegistryReadResult missing;
    EXPECT_EQ(read_registry_value(HKEY_CURRENT_USER, key_path(), L"absent", false, &missing), L"");
    EXPECT_EQ(missing.status, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(missing.status_text.empty());
}

// Another program writing a longer text into the value just before each of the first readings.
struct GrowingValue {
    std::wstring text;
    int growths_left = 0;
};
GrowingValue growing;

LSTATUS WINAPI grow_then_query(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (type != nullptr && growing.growths_left > 0) {
        --growing.growths_left;
        growing.text += std::wstring(100, L'+');
        ::RegSetKeyValueW(HKEY_CURRENT_USER, test_key_path().c_str(), name, REG_SZ, growing.text.c_str(),
                          static_cast<DWORD>((growing.text.size() + 1) * sizeof(wchar_t)));
    }
    return platform::real_system_calls().query_registry_value(key, name, reserved, type, data, size);
}

TEST_F(RegistryReader, AValueThatGrowsWhileItIsReadIsReadAgainABoundedNumberOfTimes)
{
    struct Row {
        const wchar_t* first_text;
        int growths;
        LSTATUS status;
    };
    for (const Row& row : {Row{L"short", 1, ERROR_SUCCESS}, Row{L"", 1, ERROR_SUCCESS},
                           Row{L"short", REGISTRY_VALUE_READINGS - 1, ERROR_SUCCESS},
                           Row{L"short", REGISTRY_VALUE_READINGS, ERROR_MORE_DATA}}) {
        SCOPED_TRACE(::testing::Message() << row.growths << " growths from " << std::wstring(row.first_text).size());
        write_text(L"growing", REG_SZ, row.first_text);
        growing = {row.first_text, row.growths};
        platform::system_calls().query_registry_value = grow_then_query;
        RegistryReadResult found;
        const std::wstring text = read_registry_value(HKEY_CURRENT_USER, key_path(), L"growing", false, &found);
        platform::system_calls() = platform::real_system_calls();
        EXPECT_EQ(growing.growths_left, 0);
        EXPECT_EQ(found.status, row.status);
        EXPECT_EQ(text, row.status == ERROR_SUCCESS ? growing.text : L"");
    }
}

TEST_F(RegistryReader, ReadsTheMachineValuesOfTheReport)
{
    // Real machine texts that every Windows has, each as the system's own reader gives it.
    constexpr wchar_t VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    for (const wchar_t* name : {L"CurrentBuild", L"ProductName", L"SystemRoot"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(name)));
        wchar_t stored[512] = {};
        DWORD size = sizeof stored;
        ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, VERSION_KEY, name, RRF_RT_REG_SZ, nullptr, stored, &size),
                  ERROR_SUCCESS);
        ASSERT_NE(stored[0], L'\0');
        EXPECT_EQ(read_registry_value(HKEY_LOCAL_MACHINE, VERSION_KEY, name), stored);
    }
}

}  // namespace
}  // namespace tovalen
