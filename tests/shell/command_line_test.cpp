#include "shell/command_line.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

struct CommandLineRow {
    std::vector<std::wstring> arguments;
    RunMode mode;
    std::wstring file;
};

void PrintTo(const CommandLineRow& row, std::ostream* out) { *out << ::testing::PrintToString(row.arguments); }

class ReadCommandLine : public ::testing::TestWithParam<CommandLineRow> {};

TEST_P(ReadCommandLine, GivesTheModeAndFile)
{
    const CommandLineRequest request = read_command_line(GetParam().arguments);
    EXPECT_EQ(request.mode, GetParam().mode);
    EXPECT_EQ(request.file, GetParam().file);
    EXPECT_EQ(request.problem.empty(), GetParam().mode != RunMode::bad_command_line) << request.problem;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadCommandLine,
    ::testing::Values(CommandLineRow{{}, RunMode::tray, L""},
                      CommandLineRow{{L"/Report", L"C:\\out\\a b.txt"}, RunMode::report_text, L"C:\\out\\a b.txt"},
                      CommandLineRow{{L"/JSON", L"-"}, RunMode::report_json, L"-"},
                      CommandLineRow{{L"/?"}, RunMode::show_usage, L""},
                      CommandLineRow{{L"/?", L"x"}, RunMode::bad_command_line, L""},
                      CommandLineRow{{L"/json"}, RunMode::bad_command_line, L""},
                      CommandLineRow{{L"/json", L""}, RunMode::bad_command_line, L""},
                      CommandLineRow{{L"/report", L"/json"}, RunMode::bad_command_line, L""},
                      CommandLineRow{{L"/json", L"a", L"b"}, RunMode::bad_command_line, L""},
                      CommandLineRow{{L"/reports", L"a"}, RunMode::bad_command_line, L""}));

}  // namespace
}  // namespace tovalen
