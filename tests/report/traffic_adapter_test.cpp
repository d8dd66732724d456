#include "report/traffic_adapter.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

// Up, an Ethernet adapter with 10.0.0.<last>, and 00:15:5D:01:02:<last>, its identifier <last>.
AdapterFacts adapter(std::uint8_t last, bool gateway, std::uint32_t metric)
{
    return {true,   false, false, gateway, metric, 0x0A | static_cast<std::uint32_t>(last) << 24,
            {0x00, 0x15, 0x5D, 0x01, 0x02, last}, last};
}

// A VPN's adapter: no hardware address and no gateway, only its default route.
AdapterFacts vpn(std::uint8_t last, std::uint32_t metric)
{
    AdapterFacts facts = adapter(last, false, metric);
    facts.physical_address.clear();
    return facts;
}

TEST(TrafficAdapter, LowestMetricAmongUpAdaptersWithAGateway)
{
    AdapterFacts down = adapter(1, true, 5), loopback = adapter(2, true, 5), tunnel = adapter(3, true, 5),
                 without_ipv4 = adapter(4, true, 5);
    down.up = false;
    loopback.loopback = true;
    tunnel.tunnel = true;
    without_ipv4.first_ipv4.reset();
    using Routes = std::vector<DefaultRoute>;
    const std::tuple<const char*, std::vector<AdapterFacts>, Routes, int> rows[] = {
        {"virtual switch first, no gateway", {adapter(1, false, 5), adapter(2, true, 25)}, {}, 1},
        {"vpn with lower metric", {adapter(1, true, 25), adapter(2, true, 24)}, {}, 1},
        {"two with gateways, equal metric", {adapter(1, true, 25), adapter(2, true, 25)}, {}, 0},
        {"down, loopback, tunnel, no address", {down, loopback, tunnel, without_ipv4, adapter(5, true, 50)}, {}, 4},
        {"none with a gateway", {adapter(1, false, 5), adapter(2, false, 5)}, {}, -1},
        {"nothing listed", {}, {}, -1},
        {"vpn's route without gateway", {adapter(1, true, 25), vpn(2, 5)}, {{1, 0}, {2, 0}}, 1},
        {"route metric plus interface metric", {adapter(1, true, 1), adapter(2, true, 20)}, {{1, 21}, {2, 1}}, 1},
        {"sums one apart", {adapter(1, true, 10), adapter(2, true, 10)}, {{1, 6}, {2, 5}}, 1},
        {"equal sums: first route", {adapter(1, true, 10), adapter(2, true, 9)}, {{2, 6}, {1, 5}}, 1},
        {"routes to no usable adapter", {down, loopback, without_ipv4, adapter(9, true, 50)}, {{1, 0}, {2, 0}, {4, 0}, {8, 0}}, 3},
        {"tunnel's route", {tunnel, adapter(5, true, 1)}, {{3, 5}}, 0},
        {"sum past 32 bits", {adapter(1, true, 0xFFFFFFFF), adapter(2, true, 5)}, {{1, 1}, {2, 5}}, 1}};
    for (const auto& [name, adapters, routes, chosen] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(choose_traffic_adapter(adapters, routes),
                  chosen < 0 ? nullptr : &adapters[static_cast<std::size_t>(chosen)]);
    }
}

TEST(TrafficAdapter, LinesAreTheChosenAdaptersAddresses)
{
    const std::optional<NetworkAddresses> lines = traffic_adapter_addresses({adapter(7, false, 1), adapter(200, true, 1)});
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(std::tie(lines->ip, lines->mac), std::make_tuple(L"10.0.0.200", L"00:15:5D:01:02:C8"));
    EXPECT_FALSE(traffic_adapter_addresses({adapter(7, false, 1)}).has_value());
    const std::optional<NetworkAddresses> vpn_lines = traffic_adapter_addresses({adapter(7, true, 1), vpn(9, 1)}, {{9, 0}});
    ASSERT_TRUE(vpn_lines.has_value());
    EXPECT_EQ(std::tie(vpn_lines->ip, vpn_lines->mac), std::make_tuple(L"10.0.0.9", L""));
}

}  // namespace
}  // namespace tovalen
