#include "report/traffic_adapter.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

constexpr std::uint32_t address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return a | b << 8 | c << 16 | static_cast<std::uint32_t>(d) << 24;
}

AdapterFacts adapter(std::uint8_t last, bool gateway, std::uint32_t metric)
{
    return {true, false, false, gateway, metric, address(10, 0, 0, last), {0x00, 0x15, 0x5D, 0x01, 0x02, last}};
}

struct ChoiceRow {
    const char* name;
    std::vector<AdapterFacts> adapters;
    int chosen;  // index, -1: none
};

TEST(TrafficAdapter, LowestMetricAmongUpAdaptersWithAGateway)
{
    AdapterFacts down = adapter(1, true, 5);
    down.up = false;
    AdapterFacts loopback = adapter(2, true, 5);
    loopback.loopback = true;
    AdapterFacts tunnel = adapter(3, true, 5);
    tunnel.tunnel = true;
    AdapterFacts without_ipv4 = adapter(4, true, 5);
    without_ipv4.first_ipv4.reset();
    const ChoiceRow rows[] = {
        {"virtual switch first, no gateway", {adapter(1, false, 5), adapter(2, true, 25)}, 1},
        {"vpn with lower metric", {adapter(1, true, 25), adapter(2, true, 24)}, 1},
        {"two with gateways, equal metric", {adapter(1, true, 25), adapter(2, true, 25)}, 0},
        {"down, loopback, tunnel, no address", {down, loopback, tunnel, without_ipv4, adapter(5, true, 50)}, 4},
        {"none with a gateway", {adapter(1, false, 5), adapter(2, false, 5)}, -1},
        {"nothing listed", {}, -1},
    };
    for (const ChoiceRow& row : rows) {
        SCOPED_TRACE(row.name);
        const AdapterFacts* chosen = choose_traffic_adapter(row.adapters);
        EXPECT_EQ(chosen, row.chosen < 0 ? nullptr : &row.adapters[static_cast<std::size_t>(row.chosen)]);
    }
}

TEST(TrafficAdapter, LinesAreTheChosenAdaptersAddresses)
{
    const std::optional<NetworkAddresses> lines =
        traffic_adapter_addresses({adapter(7, false, 1), adapter(200, true, 1)});
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->ip, L"10.0.0.200");
    EXPECT_EQ(lines->mac, L"00:15:5D:01:02:C8");
    EXPECT_FALSE(traffic_adapter_addresses({adapter(7, false, 1)}).has_value());
}

}  // namespace
}  // namespace tovalen
