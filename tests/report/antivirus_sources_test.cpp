// The antivirus sources: through the real automation layer against hand-written stand-ins for the
// management service's two namespaces, and under Wine for real.
#include "comline/comline.h"
#include "comline/test_objects.h"
#include "report/antivirus_sources.h"
#include "report/collectors.h"
#include "report/editor_text.h"
#include "report/report.h"
#include "support/management_namespaces.h"
#include "support/recorded_messages.h"
#include "support/registry_values.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <utility>
#include <vector>

namespace tovalen {
namespace {

using comline::testing::MemberBehaviour;
using comline::testing::TestDispatch;
using Properties = std::vector<std::pair<const wchar_t*, MemberBehaviour>>;
using Rows = std::vector<Properties>;

std::map<std::wstring, IDispatch*> served;  // by moniker; a namespace not in it is missing
std::vector<std::wstring> asked;

comline::ComLineObject* serve(std::wstring_view moniker)
{
    asked.emplace_back(moniker);
    const auto found = served.find(std::wstring(moniker));
    if (found == served.end()) {
        comline::record_error(nullptr, 0x8004100E, false, {});  // the service's "invalid namespace"
        return nullptr;
    }
    return comline::wrap_interface(found->second);
}

// One namespace: ExecQuery answers a collection of rows of hand-written properties.
class StandInNamespace {
public:
    explicit StandInNamespace(const std::vector<Properties>& rows)
    {
        std::vector<VARIANT> elements;
        for (const Properties& properties : rows) {
            auto* row = new TestDispatch;
            DISPID id = 1;
            for (const auto& [name, behaviour] : properties) {
                row->add_member(name, id++, behaviour);
            }
            VARIANT element;
            V_VT(&element) = VT_DISPATCH;
            V_DISPATCH(&element) = row;
            elements.push_back(element);
        }
        enumerator_ = new comline::testing::TestEnumerator(std::move(elements));
        collection_->add_member(L"_NewEnum", DISPID_NEWENUM, comline::testing::returns_unknown(enumerator_));
        service_->add_member(L"ExecQuery", 1, comline::testing::returns_object(collection_));
    }
    ~StandInNamespace()
    {
        EXPECT_EQ(service_->references(), 1u);
        enumerator_->Release();
        collection_->Release();
        service_->Release();
    }
    StandInNamespace(const StandInNamespace&) = delete;
    StandInNamespace& operator=(const StandInNamespace&) = delete;

    TestDispatch* service() const { return service_; }
    std::wstring query() const { return service_->calls().empty() ? L"" : service_->calls()[0].arguments.at(0).text; }

private:
    TestDispatch* service_ = new TestDispatch;
    TestDispatch* collection_ = new TestDispatch;
    comline::testing::TestEnumerator* enumerator_ = nullptr;
};

Properties product(const wchar_t* name, MemberBehaviour state)
{
    return {{L"displayName", comline::testing::returns_text(name)}, {L"productState", std::move(state)}};
}

Properties defender_row(bool enabled, bool service_enabled)
{
    return {{L"AMProductVersion", comline::testing::returns_text(L"4.18.24010.12")},
            {L"AntivirusEnabled", comline::testing::returns_boolean(enabled)},
            {L"AMServiceEnabled", comline::testing::returns_boolean(service_enabled)},
            {L"AntivirusSignatureLastUpdated", comline::testing::returns_text(L"20240315083000.000000+060")}};
}

std::wstring march_15_2024()
{
    SYSTEMTIME day{};
    day.wYear = 2024;
    day.wMonth = 3;
    day.wDay = 15;
    wchar_t text[128] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, text, 128, nullptr);
    return text;
}

struct SourcesRow {
    const char* name;
    std::optional<std::vector<Properties>> security_center;  // none: the namespace is missing
    std::optional<std::vector<Properties>> defender;
    std::tuple<std::wstring, std::wstring, std::wstring> lines;
    std::size_t namespaces_asked;
};

class AntivirusSources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }
    void SetUp() override { antivirus_service_source = serve; }
    void TearDown() override
    {
        antivirus_service_source = bind_service_moniker;
        EXPECT_EQ(comline::live_object_count(), 0);
    }
};

TEST_F(AntivirusSources, SecurityCenterThenDefenderThroughTheAutomationLayer)
{
    const std::wstring date = march_15_2024();
    ASSERT_FALSE(date.empty());
    const SourcesRow rows[] = {
        {"one product on", Rows{product(L"Other AV", comline::testing::returns_integer(266240))}, std::nullopt,
         {L"Yes", L"Other AV", L"up to date"}, 1},
        {"second of two on",
         Rows{product(L"Windows Defender", comline::testing::returns_integer(393472)),
                     product(L"Other AV", comline::testing::returns_integer(266256))},
         Rows{defender_row(true, true)}, {L"Yes", L"Other AV", L"out of date"}, 1},
        {"microsofts with defenders details",
         Rows{product(L"Windows Defender", comline::testing::returns_integer(397568))},
         Rows{defender_row(true, true)}, {L"Yes", L"Windows Defender 4.18.24010.12", date}, 2},
        {"state of the wrong type", Rows{product(L"Windows Defender", comline::testing::returns_text(L"397568"))},
         Rows{defender_row(true, true)}, {L"No", L"Windows Defender", L""}, 1},
        {"no security center, defender running", std::nullopt, Rows{defender_row(true, true)},
         {L"Yes", L"Microsoft Defender Antivirus 4.18.24010.12", date}, 2},
        {"empty security center, defender service off", Rows{}, Rows{defender_row(true, false)},
         {L"No", L"Microsoft Defender Antivirus 4.18.24010.12", date}, 2},
        {"neither", std::nullopt, std::nullopt, {L"No", L"", L""}, 2},
    };
    for (const SourcesRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<StandInNamespace> security_center;
        std::optional<StandInNamespace> defender;
        served.clear();
        asked.clear();
        if (row.security_center) {
            served[testing::SECURITY_CENTER_MONIKER] = security_center.emplace(*row.security_center).service();
        }
        if (row.defender) {
            served[testing::DEFENDER_MONIKER] = defender.emplace(*row.defender).service();
        }
        comline::record_error(nullptr, static_cast<std::uint32_t>(E_FAIL), false, {});  // an earlier query's failure
        const AntivirusLines lines = get_windows_antivirus_lines();
        EXPECT_EQ(std::tie(lines.running, lines.build, lines.definitions_date), row.lines);
        EXPECT_EQ(asked.size(), row.namespaces_asked);
        EXPECT_EQ(comline::last_error_code(), static_cast<std::uint32_t>(E_FAIL));
        EXPECT_EQ(comline::last_error_text(), L"Unspecified error.");
        if (security_center) {
            EXPECT_EQ(security_center->query(), L"Select displayName, productState from AntiVirusProduct");
        }
    }
    comline::free_error_records();
}

// Under Wine for real: whatever the system has, no box; without either namespace "No" and two
// empty values; the vendor's key, when it holds any of its values, as ever.
class AntivirusOfTheSystem : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::start_up_once(); }
    void TearDown() override { EXPECT_EQ(comline::live_object_count(), 0); }

    testing::RecordedMessages recorder_;
};

TEST_F(AntivirusOfTheSystem, WithoutEitherNamespaceNoAndTwoEmptyValuesAndNoBox)
{
    if (testing::management_namespace_answers(testing::SECURITY_CENTER_MONIKER) ||
        testing::management_namespace_answers(testing::DEFENDER_MONIKER)) {
        GTEST_SKIP() << "this system has Security Center or Defender; the stand-in rows cover it";
    }
    build_report();
    EXPECT_EQ(std::tie(report_values.av_running, report_values.av_build, report_values.av_defs_date),
              std::make_tuple(L"No", L"", L""));
    EXPECT_TRUE(testing::report_editor_text().ends_with(L"\r\nAntivirus Running: No\r\nAntivirus Build: \r\nAntivirus Definition Date: "));
    EXPECT_TRUE(recorder_.messages().empty());
}

TEST_F(AntivirusOfTheSystem, VendorKeyHoldingAnyValueWins)
{
    testing::RegistryValues vendor(HKEY_LOCAL_MACHINE,
                                   L"SOFTWARE\\Symantec\\Symantec Endpoint Protection\\CurrentVersion\\public-opstate");
    ASSERT_TRUE(vendor.set_number(L"AVRunningStatus", 1));
    ASSERT_TRUE(vendor.set_text(L"DeployRunningVersion", L"14.3.558.0000"));
    ASSERT_TRUE(vendor.set_text(L"LatestVirusDefsDate", L"2026/12/06 r7"));
    build_report();
    EXPECT_EQ(std::tie(report_values.av_running, report_values.av_build, report_values.av_defs_date),
              std::make_tuple(L"Yes", L"14.3.558.0000", L"2026/12/06 r7"));
    ASSERT_TRUE(vendor.remove(L"AVRunningStatus") && vendor.remove(L"LatestVirusDefsDate"));
    build_report();
    EXPECT_EQ(std::tie(report_values.av_running, report_values.av_build, report_values.av_defs_date),
              std::make_tuple(L"No", L"14.3.558.0000", L""));
    EXPECT_TRUE(recorder_.messages().empty());
}

}  // namespace
}  // namespace tovalen
