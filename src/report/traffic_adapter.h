// Which network adapter carries the computer's default traffic, and the two report lines that
// describe it. Free of Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovalen {

// What the system lists of one adapter, as far as the choice needs it.
struct AdapterFacts {
    bool up = false;
    bool loopback = false;
    bool tunnel = false;
    bool ipv4_default_gateway = false;
    std::uint32_t ipv4_metric = 0;
    std::optional<std::uint32_t> first_ipv4;  // network byte order
    std::vector<std::uint8_t> physical_address;  // none on a VPN's adapter
    std::uint64_t luid = 0;                       // the interface's locally unique identifier
};

// An IPv4 default route (0.0.0.0/0) of the system's routing table, whatever its next hop: a VPN's
// adapter carries one without a gateway.
struct DefaultRoute {
    std::uint64_t interface_luid = 0;
    std::uint32_t metric = 0;
};

struct NetworkAddresses {
    std::wstring ip;
    std::wstring mac;
};

// The adapter Windows sends default traffic through: of the default routes to an adapter that is
// up, not loopback and has an IPv4 address, the one with the lowest sum of the route's metric and
// its interface's IPv4 metric, the first listed among equals. Where no route gives one, of the
// adapters that are up, neither loopback nor tunnel, and have an IPv4 address and an IPv4 default
// gateway, the one with the lowest IPv4 metric, the first listed among equals; null when none
// qualifies (an offline machine).
const AdapterFacts* choose_traffic_adapter(const std::vector<AdapterFacts>& adapters,
                                           const std::vector<DefaultRoute>& routes = {});

// The chosen adapter's first IPv4 address and its physical address; none when none qualifies.
std::optional<NetworkAddresses> traffic_adapter_addresses(const std::vector<AdapterFacts>& adapters,
                                                          const std::vector<DefaultRoute>& routes = {});

// An IPv4 address in network byte order as dotted decimal.
std::wstring dotted_address(std::uint32_t network_order);

// The bytes of a hardware address as upper-case hexadecimal pairs joined by ":".
std::wstring hardware_address_text(const std::uint8_t* bytes, std::size_t count);

}  // namespace tovalen
