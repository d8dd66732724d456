#include "report/antivirus_sources.h"

#include "comline/comline.h"
#include "platform/handles.h"
#include "report/collectors.h"

#include <optional>
#include <vector>

namespace tovalen {

ServiceObjectSource antivirus_service_source = bind_service_moniker;

namespace {

constexpr wchar_t SECURITY_CENTER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\SecurityCenter2";
constexpr wchar_t DEFENDER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\Microsoft\\Windows\\Defender";
constexpr wchar_t PRODUCTS_QUERY[] = L"ExecQuery('Select displayName, productState from AntiVirusProduct')";
constexpr wchar_t DEFENDER_QUERY[] = L"ExecQuery('Select * from MSFT_MpComputerStatus')";

using OwnedObject = platform::UniqueHandle<comline::ComLineObject*, comline::release_object>;
using OwnedEnumeration = platform::UniqueHandle<comline::ComLineEnumeration*, comline::release_enumeration>;
using OwnedVariant = platform::UniqueHandle<VARIANT*, comline::free_variant>;

// Hands each row the query lists to the visitor, in order. A namespace, class or query that does
// not answer simply lists nothing.
template <typename Visitor>
void for_each_row(std::wstring_view moniker, std::wstring_view query, Visitor visit)
{
    const OwnedObject service(antivirus_service_source(moniker));
    if (!service) {
        return;
    }
    // Declared after the service, so it goes first: the service must outlive its walk.
    const OwnedEnumeration rows(comline::open_enumeration(service.get(), query));
    if (!rows) {
        return;
    }
    while (const OwnedObject row{comline::next_object(rows.get())}) {
        visit(row.get());
    }
}

// An integer property as its 32 unsigned bits when the service gives a 32-bit integer (as it
// gives every uint32), else as the integer it is; none for anything that is not an integer.
std::optional<std::int64_t> integer_property(comline::ComLineObject* row, std::wstring_view name)
{
    const OwnedVariant value(comline::read_variant(row, name));
    if (!value) {
        return std::nullopt;
    }
    switch (value.get()->vt) {
    case VT_I4:
    case VT_INT:
        return static_cast<std::uint32_t>(value.get()->lVal);
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
        break;
    default:
        return std::nullopt;
    }
    if (FAILED(::VariantChangeType(value.get(), value.get(), 0, VT_I8))) {
        return std::nullopt;
    }
    return value.get()->llVal;
}

// Only a boolean that is true counts: a missing or mistyped property never makes a "Yes".
bool true_property(comline::ComLineObject* row, std::wstring_view name)
{
    const OwnedVariant value(comline::read_variant(row, name));
    return value && value.get()->vt == VT_BOOL && value.get()->boolVal == VARIANT_TRUE;
}

std::wstring cim_date_text(std::wstring_view cim_datetime)
{
    const std::optional<CivilDate> date = parse_cim_datetime(cim_datetime);
    if (!date) {
        return {};
    }
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(date->year);
    time.wMonth = static_cast<WORD>(date->month);
    time.wDay = static_cast<WORD>(date->day);
    return short_date_text(time);
}

std::vector<SecurityCenterProduct> security_center_products()
{
    std::vector<SecurityCenterProduct> products;
    for_each_row(SECURITY_CENTER, PRODUCTS_QUERY, [&products](comline::ComLineObject* row) {
        products.push_back({comline::read_text(row, L"displayName"), integer_property(row, L"productState")});
    });
    return products;
}

std::optional<DefenderStatus> defender_status()
{
    std::optional<DefenderStatus> status;
    for_each_row(DEFENDER, DEFENDER_QUERY, [&status](comline::ComLineObject* row) {
        if (status) {
            return;  // the class has one row; anything after it is not Defender's own
        }
        status = DefenderStatus{
            comline::read_text(row, L"AMProductVersion"),
            true_property(row, L"AntivirusEnabled") && true_property(row, L"AMServiceEnabled"),
            cim_date_text(comline::read_text(row, L"AntivirusSignatureLastUpdated")),
        };
    });
    return status;
}

}  // namespace

comline::ComLineObject* bind_service_moniker(std::wstring_view moniker)
{
    return comline::get_automation_object(moniker, L"", true);
}

AntivirusLines get_windows_antivirus_lines()
{
    const comline::PreservedOutcome unseen;
    const std::vector<SecurityCenterProduct> products = security_center_products();
    const SecurityCenterProduct* chosen = choose_product(products);
    const std::optional<DefenderStatus> defender =
        wants_defender_status(chosen) ? defender_status() : std::nullopt;
    return antivirus_lines(chosen, defender ? &*defender : nullptr);
}

}  // namespace tovalen
