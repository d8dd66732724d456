#include "report/collectors.h"

#include "platform/system_calls.h"

#include <algorithm>
#include <vector>

namespace tovalen {

namespace {

constexpr ULONG LISTING_FLAGS =
    GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;

std::uint32_t ipv4_of(const SOCKET_ADDRESS& address)
{
    return reinterpret_cast<const sockaddr_in*>(address.lpSockaddr)->sin_addr.s_addr;
}

bool is_ipv4(const SOCKET_ADDRESS& address)
{
    return address.lpSockaddr != nullptr && address.lpSockaddr->sa_family == AF_INET &&
           address.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in));
}

bool has_ipv4_gateway(const IP_ADAPTER_ADDRESSES& adapter)
{
    for (const IP_ADAPTER_GATEWAY_ADDRESS* gateway = adapter.FirstGatewayAddress; gateway != nullptr;
         gateway = gateway->Next) {
        if (is_ipv4(gateway->Address) && ipv4_of(gateway->Address) != 0) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint32_t> first_ipv4(const IP_ADAPTER_ADDRESSES& adapter)
{
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter.FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
        if (is_ipv4(unicast->Address)) {
            return ipv4_of(unicast->Address);
        }
    }
    return std::nullopt;
}

AdapterFacts facts_of(const IP_ADAPTER_ADDRESSES& adapter)
{
    const std::size_t length = std::min<std::size_t>(adapter.PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    return {
        .up = adapter.OperStatus == IfOperStatusUp,
        .loopback = adapter.IfType == IF_TYPE_SOFTWARE_LOOPBACK,
        .tunnel = adapter.IfType == IF_TYPE_TUNNEL,
        .ipv4_default_gateway = has_ipv4_gateway(adapter),
        .ipv4_metric = adapter.Ipv4Metric,
        .first_ipv4 = first_ipv4(adapter),
        .physical_address = std::vector<std::uint8_t>(adapter.PhysicalAddress, adapter.PhysicalAddress + length),
        .luid = adapter.Luid.Value,
    };
}

// The system's list of IPv4 adapters; empty when it cannot be had. The list may grow between
// asking its size and reading it, so the size is asked again a few times.
std::vector<AdapterFacts> listed_adapters()
{
    std::vector<AdapterFacts> adapters;
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 4; ++attempt) {
        // In 8-byte units: the list's records need that alignment.
        std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
        auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        const ULONG result = platform::get_adapters_addresses(AF_INET, LISTING_FLAGS, list, &size);
        if (result == ERROR_BUFFER_OVERFLOW) {
            continue;
        }
        if (result == NO_ERROR) {
            for (const IP_ADAPTER_ADDRESSES* adapter = list; adapter != nullptr; adapter = adapter->Next) {
                adapters.push_back(facts_of(*adapter));
            }
        }
        break;
    }
    return adapters;
}

// The IPv4 default routes of the system's routing table, in its order; none when it cannot be had.
std::vector<DefaultRoute> default_routes()
{
    std::vector<DefaultRoute> routes;
    const platform::Ipv4ForwardTable table = platform::ipv4_forward_table();
    for (ULONG i = 0; table != nullptr && i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        if (row.DestinationPrefix.PrefixLength == 0 && row.DestinationPrefix.Prefix.si_family == AF_INET) {
            routes.push_back({row.InterfaceLuid.Value, row.Metric});
        }
    }
    return routes;
}

}  // namespace

NetworkAddresses get_network_addresses()
{
    if (std::optional<NetworkAddresses> chosen = traffic_adapter_addresses(listed_adapters(), default_routes())) {
        return *std::move(chosen);
    }
    NetworkAddresses fallback;
    fallback.ip = get_ip_address_text();
    fallback.mac = get_mac_address_text();
    return fallback;
}

}  // namespace tovalen
