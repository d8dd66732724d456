// The hardware queries against Wine's real management service, checked against the same query
// made with plain IDispatch calls.
#include "comline/comline.h"
#include "platform/handles.h"
#include "platform/system_calls.h"
#include "report/collectors.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tovalen {
namespace {

using platform::ComPtr;
using platform::UniqueVariant;

constexpr wchar_t MONIKER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2";

HRESULT invoke(IDispatch* target, const wchar_t* name, WORD kind, DISPPARAMS& arguments, VARIANT* result)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        return hr;
    }
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &arguments, result, nullptr, nullptr);
}

// The property's text of every item of the query, made with the system's calls only; an item
// whose property cannot be read or converted gives no text.
std::vector<std::optional<std::wstring>> raw_query(const wchar_t* query, const wchar_t* property)
{
    std::vector<std::optional<std::wstring>> texts;
    ComPtr<IDispatch> service;
    if (FAILED(::CoGetObject(MONIKER, nullptr, IID_IDispatch, reinterpret_cast<void**>(service.put())))) {
        return texts;
    }
    platform::UniqueBstr query_text(::SysAllocString(query));
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = query_text.get();
    DISPPARAMS one{&argument, nullptr, 1, 0};
    UniqueVariant collection;
    if (FAILED(invoke(service.get(), L"ExecQuery", DISPATCH_METHOD | DISPATCH_PROPERTYGET, one, collection.get()))) {
        return texts;
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    UniqueVariant enumerator_variant;
    if (FAILED(collection.get()->pdispVal->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                                  DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                                                  enumerator_variant.get(), nullptr, nullptr))) {
        return texts;
    }
    ComPtr<IEnumVARIANT> items;
    enumerator_variant.get()->punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(items.put()));
    for (;;) {
        UniqueVariant item;
        if (items.get()->Next(1, item.get(), nullptr) != S_OK) {
            break;
        }
        UniqueVariant value;
        if (FAILED(invoke(item.get()->pdispVal, property, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, value.get())) ||
            FAILED(::VariantChangeType(value.get(), value.get(), VARIANT_LOCALBOOL, VT_BSTR))) {
            texts.push_back(std::nullopt);
            continue;
        }
        texts.emplace_back(value.get()->bstrVal != nullptr ? value.get()->bstrVal : L"");
    }
    return texts;
}

class HardwareQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }

    void TearDown() override { EXPECT_EQ(comline::live_object_count(), 0); }

    testing::RecordedMessages recorder_;
};

TEST_F(HardwareQueries, MemoryIsTheCapacityOfTheLastModule)
{
    const auto capacities = raw_query(L"Select * from Win32_PhysicalMemory", L"Capacity");
    ASSERT_FALSE(capacities.empty()) << "the service lists no memory module";
    const std::wstring last = capacities.back().value_or(L"");
    EXPECT_EQ(get_memory_size_text(), format_byte_size(leading_decimal_number(last)));
    EXPECT_TRUE(recorder_.messages().empty());
}

TEST_F(HardwareQueries, SerialIsTheLastEnclosuresWhateverTheServiceHas)
{
    const auto serials = raw_query(L"Select * from Win32_SystemEnclosure", L"SerialNumber");
    ASSERT_FALSE(serials.empty()) << "the service lists no enclosure";
    last_serial_number = L"left by an earlier build";
    // Each enumerated item overwrites the variable, with empty text when the property is missing.
    EXPECT_EQ(get_serial_number_text(), serials.back().value_or(L""));
    EXPECT_TRUE(recorder_.messages().empty());
}

}  // namespace
}  // namespace tovalen
