// The antivirus sources through the real automation layer, the management service's namespaces
// stood in for by hand-written objects; and the vendor's key under Wine for real.
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

namespace tovalen {
namespace {

using namespace comline::testing;
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

// ExecQuery answers a collection of rows of hand-written properties.
class StandInNamespace {
public:
    explicit StandInNamespace(const Rows& rows)
    {
        std::vector<VARIANT> elements;
        for (const Properties& properties : rows) {
            auto* row = new TestDispatch;  // its one reference goes to the enumerator with the element
            for (DISPID id = 0; const auto& [name, behaviour] : properties) {
                row->add_member(name, ++id, behaviour);
            }
            elements.push_back(object_value(row));
        }
        enumerator_ = new TestEnumerator(std::move(elements));
        collection_->add_member(L"_NewEnum", DISPID_NEWENUM, returns_unknown(enumerator_));
        service_->add_member(L"ExecQuery", 1, returns_object(collection_));
    }
    ~StandInNamespace()
    {
        EXPECT_EQ(service_->references(), 1u);
        enumerator_->Release();
        collection_->Release();
        service_->Release();
    }

    TestDispatch* service_ = new TestDispatch;
    TestDispatch* collection_ = new TestDispatch;
    TestEnumerator* enumerator_ = nullptr;
};

Properties product(const wchar_t* name, MemberBehaviour state)
{
    return {{L"displayName", returns_text(name)}, {L"productState", std::move(state)}};
}

Properties defender_row()
{
    return {{L"AMProductVersion", returns_text(L"4.18.24010.12")}, {L"AntivirusEnabled", returns_boolean(true)},
            {L"AMServiceEnabled", returns_boolean(true)},
            {L"AntivirusSignatureLastUpdated", returns_text(L"20240315083000.000000+060")}};
}

std::wstring march_15_2024()
{
    const SYSTEMTIME day{2024, 3, 5, 15, 0, 0, 0, 0};
    wchar_t text[128] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, text, 128, nullptr);
    return text;
}

TEST(AntivirusSources, SecurityCenterThenDefenderThroughTheAutomationLayer)
{
    ::CoInitialize(nullptr);
    antivirus_service_source = serve;
    const std::wstring date = march_15_2024(), version = L"4.18.24010.12";
    const std::tuple<const char*, std::optional<Rows>, std::optional<Rows>, std::tuple<std::wstring, std::wstring, std::wstring>,
                     std::size_t>
        rows[] = {
            {"one on", Rows{product(L"AV", returns_integer(266240))}, std::nullopt, {L"Yes", L"AV", L"up to date"}, 1},
            {"second of two on", Rows{product(L"MS", returns_integer(393472)), product(L"AV", returns_integer(266256))},
             Rows{defender_row()}, {L"Yes", L"AV", L"out of date"}, 1},
            {"microsoft's", Rows{product(L"MS", returns_integer(397568))}, Rows{defender_row()},
             {L"Yes", L"MS " + version, date}, 2},
            {"state as text", Rows{product(L"MS", returns_text(L"397568"))}, Rows{defender_row()}, {L"No", L"MS", L""}, 1},
            {"no security center", std::nullopt, Rows{defender_row()},
             {L"Yes", L"Microsoft Defender Antivirus " + version, date}, 2},
            {"neither", std::nullopt, std::nullopt, {L"No", L"", L""}, 2}};
    for (const auto& [name, security_center_rows, defender_rows, expected, namespaces_asked] : rows) {
        SCOPED_TRACE(name);
        std::optional<StandInNamespace> security_center, defender;
        served.clear();
        asked.clear();
        if (security_center_rows) {
            served[testing::SECURITY_CENTER_MONIKER] = security_center.emplace(*security_center_rows).service_;
        }
        if (defender_rows) {
            served[testing::DEFENDER_MONIKER] = defender.emplace(*defender_rows).service_;
        }
        comline::record_error(nullptr, static_cast<std::uint32_t>(E_FAIL), false, {});  // an earlier query's failure
        const AntivirusLines lines = get_windows_antivirus_lines();
        EXPECT_EQ(std::tie(lines.running, lines.build, lines.definitions_date), expected);
        EXPECT_EQ(asked.size(), namespaces_asked);
        EXPECT_EQ(std::make_tuple(comline::last_error_code(), comline::last_error_text()),
                  std::make_tuple(std::int64_t{static_cast<std::uint32_t>(E_FAIL)}, std::wstring(L"Unspecified error.")));
        if (security_center) {
            EXPECT_EQ(security_center->service_->calls().at(0).arguments.at(0).text,
                      L"Select displayName, productState from AntiVirusProduct");
        }
    }
    antivirus_service_source = bind_service_moniker;
    EXPECT_EQ(comline::live_object_count(), 0);
    comline::free_error_records();
}

TEST(AntivirusOfTheSystem, VendorKeyHoldingAnyValueWins)
{
    testing::start_up_once();
    const testing::RecordedMessages recorder;
    testing::RegistryValues vendor(HKEY_LOCAL_MACHINE,
                                   L"SOFTWARE\\Symantec\\Symantec Endpoint Protection\\CurrentVersion\\public-opstate");
    ASSERT_TRUE(vendor.set_number(L"AVRunningStatus", 1) && vendor.set_text(L"DeployRunningVersion", L"14.3.558.0000") &&
                vendor.set_text(L"LatestVirusDefsDate", L"2026/12/06 r7"));
    build_report();
    EXPECT_EQ(std::tie(report_values.av_running, report_values.av_build, report_values.av_defs_date),
              std::make_tuple(L"Yes", L"14.3.558.0000", L"2026/12/06 r7"));
    ASSERT_TRUE(vendor.remove(L"AVRunningStatus") && vendor.remove(L"LatestVirusDefsDate"));
    build_report();
    EXPECT_EQ(std::tie(report_values.av_running, report_values.av_build, report_values.av_defs_date),
              std::make_tuple(L"No", L"14.3.558.0000", L""));
    EXPECT_TRUE(recorder.messages().empty());
}

}  // namespace
}  // namespace tovalen
