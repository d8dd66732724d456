// Buffers sized by what the system reports (registry data, expanded text) may be larger than the
// process can reserve. The operation then gives empty text, as for any other failed read, and no
// exception leaves it. Free of Windows headers.
#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace tovalen {

template <typename Read>
std::wstring text_unless_out_of_memory(Read&& read) noexcept
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
        return {};
    } catch (const std::length_error&) {
        return {};
    }
}

}  // namespace tovalen
