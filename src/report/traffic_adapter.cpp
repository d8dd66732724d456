#include "report/traffic_adapter.h"

#include "report/hex_text.h"

namespace tovalen {

namespace {

bool may_carry_default_traffic(const AdapterFacts& adapter)
{
    return adapter.up && !adapter.loopback && !adapter.tunnel && adapter.ipv4_default_gateway &&
           adapter.first_ipv4.has_value();
}

bool may_carry_routed_traffic(const AdapterFacts& adapter)
{
    return adapter.up && !adapter.loopback && adapter.first_ipv4.has_value();
}

const AdapterFacts* adapter_of(const std::vector<AdapterFacts>& adapters, std::uint64_t luid)
{
    for (const AdapterFacts& adapter : adapters) {
        if (adapter.luid == luid) {
            return &adapter;
        }
    }
    return nullptr;
}

// Windows picks the route with the lowest sum of route and interface metric.
const AdapterFacts* routed_adapter(const std::vector<AdapterFacts>& adapters, const std::vector<DefaultRoute>& routes)
{
    const AdapterFacts* chosen = nullptr;
    std::uint64_t lowest = 0;
    for (const DefaultRoute& route : routes) {
        const AdapterFacts* adapter = adapter_of(adapters, route.interface_luid);
        if (adapter == nullptr || !may_carry_routed_traffic(*adapter)) {
            continue;
        }
        const std::uint64_t metric = std::uint64_t{route.metric} + adapter->ipv4_metric;
        if (chosen == nullptr || metric < lowest) {
            chosen = adapter;
            lowest = metric;
        }
    }
    return chosen;
}

}  // namespace

const AdapterFacts* choose_traffic_adapter(const std::vector<AdapterFacts>& adapters,
                                           const std::vector<DefaultRoute>& routes)
{
    if (const AdapterFacts* routed = routed_adapter(adapters, routes)) {
        return routed;
    }
    const AdapterFacts* chosen = nullptr;
    for (const AdapterFacts& adapter : adapters) {
        if (may_carry_default_traffic(adapter) && (chosen == nullptr || adapter.ipv4_metric < chosen->ipv4_metric)) {
            chosen = &adapter;
        }
    }
    return chosen;
}

std::optional<NetworkAddresses> traffic_adapter_addresses(const std::vector<AdapterFacts>& adapters,
                                                          const std::vector<DefaultRoute>& routes)
{
    const AdapterFacts* chosen = choose_traffic_adapter(adapters, routes);
    if (chosen == nullptr) {
        return std::nullopt;
    }
    return NetworkAddresses{dotted_address(*chosen->first_ipv4),
                            hardware_address_text(chosen->physical_address.data(), chosen->physical_address.size())};
}

std::wstring dotted_address(std::uint32_t network_order)
{
    std::wstring text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            text += L'.';
        }
        text += std::to_wstring((network_order >> (8 * i)) & 0xFF);
    }
    return text;
}

std::wstring hardware_address_text(const std::uint8_t* bytes, std::size_t count)
{
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += L':';
        }
        append_hex_byte(text, bytes[i]);
    }
    return text;
}

}  // namespace tovalen
