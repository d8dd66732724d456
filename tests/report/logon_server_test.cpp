#include "report/logon_server.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

struct LogonServerRow {
    std::wstring variable;
    bool shown;
};

class LogonServer : public ::testing::TestWithParam<LogonServerRow> {};

TEST_P(LogonServer, IsShownOnlyWhenItNamesOneServer)
{
    EXPECT_EQ(logon_server_text(GetParam().variable), GetParam().shown ? GetParam().variable : L"");
}

// The longest DNS name (RFC 1035: 255 bytes on the wire, 253 characters written out).
const std::wstring LONGEST_NAME = L"a" + std::wstring(252, L'b');

// Each end of every range of name characters, and the neighbours outside it.
INSTANTIATE_TEST_SUITE_P(
    Variables, LogonServer,
    ::testing::Values(LogonServerRow{L"\\\\DC01", true}, LogonServerRow{L"\\\\dc-01.corp_x.example", true},
                      LogonServerRow{L"\\\\0azAZ9", true}, LogonServerRow{L"\\\\a", true},
                      LogonServerRow{L"\\\\" + LONGEST_NAME, true}, LogonServerRow{L"\\\\" + LONGEST_NAME + L"c", false},
                      LogonServerRow{L"", false}, LogonServerRow{L"\\\\", false}, LogonServerRow{L"\\DC01", false},
                      LogonServerRow{L"DC01", false}, LogonServerRow{L"\\\\\\DC01", false},
                      LogonServerRow{L"\\\\DC01\\share", false}, LogonServerRow{L"\\\\DC 01", false},
                      LogonServerRow{L"\\\\DC01\r\nAntivirus Running: Yes", false},
                      LogonServerRow{L"\\\\.DC01", false}, LogonServerRow{L"\\\\-DC01", false},
                      LogonServerRow{L"\\\\_DC01", false}, LogonServerRow{L"\\\\a/", false},
                      LogonServerRow{L"\\\\a:", false}, LogonServerRow{L"\\\\a@", false}, LogonServerRow{L"\\\\a[", false},
                      LogonServerRow{L"\\\\a`", false}, LogonServerRow{L"\\\\a{", false}, LogonServerRow{L"\\\\a,", false},
                      LogonServerRow{L"\\\\/a", false}, LogonServerRow{L"\\\\:a", false}, LogonServerRow{L"\\\\@a", false},
                      LogonServerRow{L"\\\\[a", false}, LogonServerRow{L"\\\\`a", false}, LogonServerRow{L"\\\\{a", false},
                      LogonServerRow{L"\\\\\u00C9COLE", false}, LogonServerRow{L"\\\\a\u0130", false}));

}  // namespace
}  // namespace tovalen
