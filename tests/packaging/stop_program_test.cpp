// Ending the running copies of one program file, with real processes: copies of the program
// placed in folders of their own and started as the tray starts it.
#include "platform/handles.h"
#include "stop_program/stop_program.h"
#include "support/build_paths.h"
#include "support/program_under_test.h"
#include "support/scoped_state.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace tovalen {
namespace {

using packaging::exit_code_for;
using packaging::stop_program_copies;
using packaging::StopOutcome;
using testing::ProgramUnderTest;

constexpr DWORD WAIT_MS = 10000;

std::wstring temp_folder()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, path);
    return std::wstring(path, length);
}

// A folder of its own holding a copy of the program, removed with everything in it.
class ProgramCopy {
public:
    explicit ProgramCopy(const std::wstring& name)
        : folder_(temp_folder() + L"tovalen stop " + name + L" " + std::to_wstring(::GetCurrentProcessId())),
          program_(folder_ + L"\\tovalen.exe")
    {
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        copied_ = ::CopyFileW(testing::tovalen_program_path().c_str(), program_.c_str(), FALSE) != FALSE;
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;
    ~ProgramCopy()
    {
        ::DeleteFileW(program_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }

    bool copied() const { return copied_; }
    const std::wstring& folder() const { return folder_; }
    const std::wstring& program() const { return program_; }

private:
    std::wstring folder_;
    std::wstring program_;
    bool copied_ = false;
};

std::unique_ptr<ProgramUnderTest> start(const std::wstring& program)
{
    auto started = std::make_unique<ProgramUnderTest>(program);
    EXPECT_NE(started->main_window(), nullptr) << "the copy did not start";
    return started;
}

// Every open the stop makes, through its one seam: the process and the rights asked for.
std::vector<std::pair<DWORD, DWORD>> opens;

HANDLE WINAPI counting_open(DWORD access, BOOL inherit, DWORD process_id)
{
    opens.emplace_back(process_id, access);
    return ::OpenProcess(access, inherit, process_id);
}

// The processes whose image file has the name, from the system's list.
std::set<DWORD> processes_named(const wchar_t* name)
{
    std::set<DWORD> ids;
    const platform::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, name) == 0) {
            ids.insert(entry.th32ProcessID);
        }
    }
    return ids;
}

bool still_runs(ProgramUnderTest& program) { return program.wait_exit(0) == STILL_ACTIVE; }

std::wstring upper(std::wstring text)
{
    ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

class StopProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(apart.holds_the_name());
        ASSERT_TRUE(installed.copied());
        ASSERT_TRUE(other.copied());
    }

    // Several copies run at once, as every user's copy does on a shared computer.
    testing::CopiesApart apart;
    ProgramCopy installed{L"installed"};
    ProgramCopy other{L"other"};
};

TEST_F(StopProgram, EndsTheCopiesOfTheFileAndLeavesCopiesElsewhereRunning)
{
    auto first = start(installed.program());
    auto second = start(installed.program());
    auto elsewhere = start(other.program());
    const std::set<DWORD> same_name = processes_named(L"tovalen.exe");
    const testing::SavedValue<packaging::OpenProcessRoutine> opener(packaging::process_opener());
    packaging::process_opener() = &counting_open;
    opens.clear();

    const StopOutcome outcome = stop_program_copies(installed.program(), WAIT_MS);

    // Only processes of the program's name are opened, and only its own copies with the right to end them.
    std::set<DWORD> ended;
    for (const auto& [id, access] : opens) {
        EXPECT_TRUE(same_name.contains(id)) << "opened process " << id << " of another name";
        if ((access & PROCESS_TERMINATE) != 0) {
            ended.insert(id);
        }
    }
    EXPECT_EQ(ended, (std::set<DWORD>{first->process_id(), second->process_id()}));
    EXPECT_EQ(outcome.found, 2u);
    EXPECT_EQ(outcome.ended, 2u);
    EXPECT_EQ(outcome.still_running, 0u);
    EXPECT_FALSE(still_runs(*first));
    EXPECT_FALSE(still_runs(*second));
    EXPECT_TRUE(still_runs(*elsewhere));
    EXPECT_TRUE(::DeleteFileW(installed.program().c_str())) << "the file is free to be removed";
}

TEST_F(StopProgram, FindsTheFileUnderOtherSpellingsOfItsPath)
{
    struct Row {
        const char* what;
        std::wstring path;
    };
    const Row rows[] = {
        {"other case", upper(installed.program())},
        {"dotted path", installed.folder() + L"\\.\\..\\" + installed.folder().substr(temp_folder().size()) +
                            L"\\tovalen.exe"},
        {"forward slashes", [&] {
             std::wstring path = installed.program();
             for (auto& c : path) {
                 c = c == L'\\' ? L'/' : c;
             }
             return path;
         }()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto running = start(installed.program());
        const StopOutcome outcome = stop_program_copies(row.path, WAIT_MS);
        EXPECT_EQ(outcome.found, 1u);
        EXPECT_EQ(outcome.ended, 1u);
        EXPECT_FALSE(still_runs(*running));
    }
}

TEST_F(StopProgram, FindsNothingWhenNoCopyOfTheFileRuns)
{
    auto elsewhere = start(other.program());
    const std::wstring missing = installed.folder() + L"\\missing.exe";
    for (const std::wstring& path : {installed.program(), missing, std::wstring(L"")}) {
        SCOPED_TRACE(::testing::PrintToString(path));
        const StopOutcome outcome = stop_program_copies(path, WAIT_MS);
        EXPECT_EQ(outcome.found, 0u);
        EXPECT_EQ(exit_code_for(outcome), static_cast<DWORD>(ERROR_SUCCESS));
    }
    EXPECT_TRUE(still_runs(*elsewhere));
}

TEST(StopProgramOutcome, FailsTheInstallationOnlyWhileACopyStillRuns)
{
    struct Row {
        StopOutcome outcome;
        DWORD expected;
    };
    for (const Row& row : {Row{{0, 0, 0}, ERROR_SUCCESS}, Row{{3, 3, 0}, ERROR_SUCCESS},
                           Row{{2, 1, 1}, ERROR_INSTALL_FAILURE}, Row{{1, 0, 1}, ERROR_INSTALL_FAILURE}}) {
        SCOPED_TRACE(::testing::Message() << row.outcome.found << " found, " << row.outcome.ended << " ended");
        EXPECT_EQ(exit_code_for(row.outcome), row.expected);
    }
}

}  // namespace
}  // namespace tovalen
