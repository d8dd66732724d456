// Buffers sized by what the registry and the environment report, when the process cannot reserve
// them: the read gives empty text and no exception leaves it. Running out of memory cannot be
// brought about for real, so this test program's allocator refuses every block from a given size
// on while a test asks it to; below that size, and at all other times, it is plain malloc.
#include "report/collectors.h"

#include "support/registry_values.h"
#include "support/scoped_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>

namespace {

std::atomic<std::size_t> refused_from{std::numeric_limits<std::size_t>::max()};

}  // namespace

void* operator new(std::size_t size)
{
    if (size >= refused_from.load()) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

namespace tovalen {
namespace {

// While it lives, no block of this many bytes or more can be reserved.
class RefusedAllocations {
public:
    explicit RefusedAllocations(std::size_t bytes) { refused_from.store(bytes); }
    ~RefusedAllocations() { refused_from.store(std::numeric_limits<std::size_t>::max()); }
    RefusedAllocations(const RefusedAllocations&) = delete;
    RefusedAllocations& operator=(const RefusedAllocations&) = delete;
};

constexpr std::size_t LIMIT = 256 * 1024;
const std::wstring LARGE_TEXT(LIMIT, L'L');  // twice the limit in bytes

std::wstring read_refusing_blocks_from(std::size_t bytes, const std::function<std::wstring()>& read)
{
    RefusedAllocations refused(bytes);
    return read();
}

class OutOfMemory : public ::testing::Test {
protected:
    static std::wstring key_path()
    {
        return L"Software\\Tovalen Tests\\Out of memory " + std::to_wstring(::GetCurrentProcessId());
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_path().c_str()); }

    testing::RegistryValues values_{HKEY_CURRENT_USER, key_path()};
};

TEST_F(OutOfMemory, RegistryDataBufferGivesEmptyText)
{
    ASSERT_TRUE(values_.set_text(L"large", LARGE_TEXT));
    ASSERT_EQ(read_registry_value(HKEY_CURRENT_USER, key_path(), L"large"), LARGE_TEXT) << "readable with memory";
    RegistryReadResult result;
    EXPECT_EQ(read_refusing_blocks_from(LIMIT, 
                  [] { return read_registry_value(HKEY_CURRENT_USER, key_path(), L"large"); }),
              L"");
    EXPECT_EQ(read_refusing_blocks_from(LIMIT, [&] {
                  return read_registry_value(HKEY_CURRENT_USER, key_path(), L"large", false, &result);
              }),
              L"");
    EXPECT_EQ(result.status, ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(OutOfMemory, ExpansionBufferGivesEmptyText)
{
    // The longest value a variable may hold: its expansion takes about 64 KiB.
    constexpr std::size_t LONGEST = 32766;
    testing::EnvironmentVariable large(L"TOVALEN_LARGE_VALUE", std::wstring(LONGEST, L'E'));
    ASSERT_TRUE(large.set());
    const std::wstring stored = L"%TOVALEN_LARGE_VALUE%";
    platform::UniqueKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key_path().c_str(), 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"expandable", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                               static_cast<DWORD>((stored.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    ASSERT_EQ(read_registry_value(HKEY_CURRENT_USER, key_path(), L"expandable").size(), LONGEST);
    // The stored data (44 bytes) can be reserved; the expanded text cannot.
    EXPECT_EQ(read_refusing_blocks_from(32 * 1024, 
                  [] { return read_registry_value(HKEY_CURRENT_USER, key_path(), L"expandable"); }),
              L"");
}

TEST_F(OutOfMemory, BrowserVersionBufferGivesEmptyText)
{
    testing::RegistryValues browser(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer");
    ASSERT_TRUE(browser.set_text(L"svcVersion", LARGE_TEXT));
    ASSERT_EQ(get_browser_version_text(), LARGE_TEXT) << "readable with memory";
    EXPECT_EQ(read_refusing_blocks_from(LIMIT, get_browser_version_text), L"");
    EXPECT_TRUE(browser.restore());
}

}  // namespace
}  // namespace tovalen
