// The program file named by a Run key command.
#include "stop_program/run_command.h"

#include <gtest/gtest.h>

namespace tovalen::packaging {
namespace {

TEST(RunCommand, NamesTheProgramOfTheCommand)
{
    struct Row {
        const wchar_t* command;
        const wchar_t* program;
    };
    const Row rows[] = {
        {LR"("C:\Program Files\Tovalen\tovalen.exe")", LR"(C:\Program Files\Tovalen\tovalen.exe)"},
        {LR"("C:\Program Files\Tovalen\tovalen.exe" /quiet "x")", LR"(C:\Program Files\Tovalen\tovalen.exe)"},
        {LR"(   "C:\Program Files\Tovalen\tovalen.exe")", LR"(C:\Program Files\Tovalen\tovalen.exe)"},
        {LR"(C:\Tools\tovalen.exe)", LR"(C:\Tools\tovalen.exe)"},
        {LR"(C:\Tools\tovalen.exe /quiet)", L"C:\\Tools\\tovalen.exe"},
        {L"\tC:\\Tools\\tovalen.exe\t/quiet", L"C:\\Tools\\tovalen.exe"},
        // An opening quote never closed quotes the rest.
        {LR"("C:\Program Files\Tovalen\tovalen.exe)", LR"(C:\Program Files\Tovalen\tovalen.exe)"},
        {LR"("C:\Program Files\Tovalen\tovalen.exe  )", LR"(C:\Program Files\Tovalen\tovalen.exe)"},
        {L"", L""},
        {L"   ", L""},
        {L"\"", L""},
        {L"\"\"", L""},
        {L"\" ", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.command)));
        EXPECT_EQ(program_of_run_command(row.command), row.program);
    }
}

}  // namespace
}  // namespace tovalen::packaging
