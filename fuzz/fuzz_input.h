// Splits a fuzzer's bytes into the values a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace tovalen::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return size_ == 0; }

    template <typename T>
    T take()
    {
        T value{};
        const std::size_t count = size_ < sizeof(T) ? size_ : sizeof(T);
        std::memcpy(&value, data_, count);
        data_ += count;
        size_ -= count;
        return value;
    }

    // Up to the next zero byte (or the end), as UTF-16 code units made of byte pairs.
    std::wstring take_wide_text()
    {
        std::wstring text;
        while (size_ >= 2) {
            const auto unit = static_cast<wchar_t>(data_[0] | (data_[1] << 8));
            data_ += 2;
            size_ -= 2;
            if (unit == 0) {
                break;
            }
            text.push_back(unit);
        }
        return text;
    }

    std::string_view rest()
    {
        std::string_view bytes(reinterpret_cast<const char*>(data_), size_);
        data_ += size_;
        size_ = 0;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// A broken promise of the code under test: stop at once, so the fuzzer keeps the input.
inline void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

}  // namespace tovalen::fuzz
