#include "report/logon_server.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

struct Row {
    std::wstring variable;
    bool shown;
};

class LogonServer : public ::testing::TestWithParam<Row> {};

TEST_P(LogonServer, IsShownOnlyWhenItNamesOneServer)
{
    EXPECT_EQ(logon_server_text(GetParam().variable), GetParam().shown ? GetParam().variable : L"");
}

// The longest DNS name (RFC 1035: 255 bytes on the wire, 253 characters written out).
const std::wstring LONGEST_NAME = L"a" + std::wstring(252, L'b');

// Each end of every range of name characters, and the neighbours outside it.
INSTANTIATE_TEST_SUITE_P(
    Variables, LogonServer,
    ::testing::Values(Row{L"\\\\DC01", true}, Row{L"\\\\dc-01.corp_x.example", true}, Row{L"\\\\0azAZ9", true},
                      Row{L"\\\\a", true}, Row{L"\\\\" + LONGEST_NAME, true},
                      Row{L"\\\\" + LONGEST_NAME + L"c", false}, Row{L"", false}, Row{L"\\\\", false},
                      Row{L"\\DC01", false}, Row{L"DC01", false}, Row{L"\\\\\\DC01", false},
                      Row{L"\\\\DC01\\share", false}, Row{L"\\\\DC 01", false},
                      Row{L"\\\\DC01\r\nAntivirus Running: Yes", false}, Row{L"\\\\.DC01", false},
                      Row{L"\\\\-DC01", false}, Row{L"\\\\_DC01", false}, Row{L"\\\\a/", false},
                      Row{L"\\\\a:", false}, Row{L"\\\\a@", false}, Row{L"\\\\a[", false}, Row{L"\\\\a`", false},
                      Row{L"\\\\a{", false}, Row{L"\\\\a,", false}, Row{L"\\\\/a", false}, Row{L"\\\\:a", false},
                      Row{L"\\\\@a", false}, Row{L"\\\\[a", false}, Row{L"\\\\`a", false}, Row{L"\\\\{a", false},
                      Row{L"\\\\\u00C9COLE", false}, Row{L"\\\\a\u0130", false}));

}  // namespace
}  // namespace tovalen
