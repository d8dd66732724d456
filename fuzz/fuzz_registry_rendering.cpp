// Registry data of any type and length rendered as text: never read past the data, and keep the
// text within what the data can give.
#include "fuzz_input.h"
#include "report/registry_rendering.h"

#include <vector>

using namespace tovalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const auto type = static_cast<std::uint32_t>(input.take<std::uint8_t>() % 16);
    const std::string_view rest = input.rest();
    // A copy of exactly the data's length, so that the sanitizer sees any read past it.
    const std::vector<std::uint8_t> stored(rest.begin(), rest.end());
    const RenderedRegistryValue rendered = render_registry_data(type, stored);
    switch (type) {
    case REGISTRY_SZ:
    case REGISTRY_EXPAND_SZ:
    case REGISTRY_MULTI_SZ:
        fuzz::require(rendered.text.size() <= stored.size() / 2);
        break;
    case REGISTRY_BINARY:
        fuzz::require(rendered.text.size() <= 4 * MAX_RENDERED_BINARY_BYTES);
        break;
    case REGISTRY_DWORD:
    case REGISTRY_QWORD:
        fuzz::require(rendered.text.size() <= 20);
        break;
    default:
        fuzz::require(rendered.text.empty());
        break;
    }
    const std::wstring path = normalise_key_path(std::wstring(rest.begin(), rest.end()));
    fuzz::require(path.size() + 2 >= rest.size());
    return 0;
}
