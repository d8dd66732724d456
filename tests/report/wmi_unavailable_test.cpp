// The hardware queries in a process whose management service cannot be reached: this program
// runs with the service's provider turned off for real (wbemprox disabled in WINEDLLOVERRIDES).
#include "comline/comline.h"
#include "platform/system_calls.h"
#include "report/collectors.h"
#include "report/editor_text.h"
#include "report/report.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovalen {
namespace {

using testing::ShownMessage;

constexpr wchar_t SERIAL_MESSAGE[] = L"Error retrieving serial.\r\nMake sure you are running as an Administrator.";
constexpr wchar_t MEMORY_MESSAGE[] = L"Error retrieving memory size.\r\nMake sure you are running as an Administrator.";

class ServiceUnavailable : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::start_up_once(); }
    void TearDown() override { EXPECT_EQ(comline::live_object_count(), 0); }

    const std::vector<ShownMessage>& shown_messages() const { return recorder_.messages(); }

    testing::RecordedMessages recorder_;
};

TEST_F(ServiceUnavailable, OneBuildShowsTheSerialThenTheMemoryMessageAndFinishes)
{
    last_serial_number.clear();
    build_report();
    ASSERT_EQ(shown_messages().size(), 2u);
    EXPECT_EQ(shown_messages()[0].text, SERIAL_MESSAGE);
    EXPECT_EQ(shown_messages()[1].text, MEMORY_MESSAGE);
    for (const ShownMessage& message : shown_messages()) {
        EXPECT_EQ(message.title, L"Error");
        EXPECT_EQ(message.flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }
    EXPECT_EQ(report_values.serial_number, L"");
    const std::wstring text = testing::report_editor_text();
    EXPECT_NE(text.find(L"\r\nSerial#: \r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"\r\nAntivirus Definition Date: "), std::wstring::npos) << "the build went on to the end";
}

TEST_F(ServiceUnavailable, SerialKeepsWhatTheLastSuccessfulBuildFound)
{
    last_serial_number = L"SER-1234";  // as an earlier build that reached the service left it
    EXPECT_EQ(get_serial_number_text(), L"SER-1234");
    ASSERT_EQ(shown_messages().size(), 1u);
    EXPECT_EQ(shown_messages()[0].text, SERIAL_MESSAGE);
}

TEST_F(ServiceUnavailable, TheAutomationLayerRecordsWhyButShowsNothingMore)
{
    EXPECT_EQ(comline::get_automation_object(L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2", L"", true),
              nullptr);
    EXPECT_NE(comline::last_error_code(), 0);
    EXPECT_TRUE(shown_messages().empty());
}

}  // namespace
}  // namespace tovalen
