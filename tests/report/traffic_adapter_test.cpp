#include "report/traffic_adapter.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

// Up, an Ethernet adapter with 10.0.0.<last>, and 00:15:5D:01:02:<last>.
AdapterFacts adapter(std::uint8_t last, bool gateway, std::uint32_t metric)
{
    return {true, false, false, gateway, metric, 0x0A | static_cast<std::uint32_t>(last) << 24, {0x00, 0x15, 0x5D, 0x01, 0x02, last}};
}

TEST(TrafficAdapter, LowestMetricAmongUpAdaptersWithAGateway)
{
    AdapterFacts down = adapter(1, true, 5), loopback = adapter(2, true, 5), tunnel = adapter(3, true, 5),
                 without_ipv4 = adapter(4, true, 5);
    down.up = false;
    loopback.loopback = true;
    tunnel.tunnel = true;
    without_ipv4.first_ipv4.reset();
    const std::tuple<const char*, std::vector<AdapterFacts>, int> rows[] = {
        {"virtual switch first, no gateway", {adapter(1, false, 5), adapter(2, true, 25)}, 1},
        {"vpn with lower metric", {adapter(1, true, 25), adapter(2, true, 24)}, 1},
        {"two with gateways, equal metric", {adapter(1, true, 25), adapter(2, true, 25)}, 0},
        {"down, loopback, tunnel, no address", {down, loopback, tunnel, without_ipv4, adapter(5, true, 50)}, 4},
        {"none with a gateway", {adapter(1, false, 5), adapter(2, false, 5)}, -1},
        {"nothing listed", {}, -1}};
    for (const auto& [name, adapters, chosen] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(choose_traffic_adapter(adapters), chosen < 0 ? nullptr : &adapters[static_cast<std::size_t>(chosen)]);
    }
}

TEST(TrafficAdapter, LinesAreTheChosenAdaptersAddresses)
{
    const std::optional<NetworkAddresses> lines = traffic_adapter_addresses({adapter(7, false, 1), adapter(200, true, 1)});
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(std::tie(lines->ip, lines->mac), std::make_tuple(L"10.0.0.200", L"00:15:5D:01:02:C8"));
    EXPECT_FALSE(traffic_adapter_addresses({adapter(7, false, 1)}).has_value());
}

}  // namespace
}  // namespace tovalen
