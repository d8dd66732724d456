// Whatever a net.exe prints: decoded, split into lines and cut without reading past the output,
// and the cut never holds a line end.
#include "fuzz_input.h"
#include "report/boot_text.h"

using namespace tovalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string output(reinterpret_cast<const char*>(data), size);
    const std::wstring decoded = decode_utf8(output);
    fuzz::require(decoded.size() <= output.size());
    const std::wstring lines = output_lines_text(output);
    const std::optional<std::wstring> cut = cut_boot_line(lines);
    if (cut) {
        fuzz::require(cut->find(L"\r\n") == std::wstring::npos);
        fuzz::require(cut->size() < lines.size());
    } else {
        fuzz::require(lines.find(BOOT_MARKER) == std::wstring::npos);
    }
    return 0;
}
