// Ten thousand rounds of parsing and invoking leave the process's handles and private memory
// where they were. The calibration case shows that the measurement sees a leak of the size the
// check guards against, so that the check can fail.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comline/layer_fixture.h"
#include "comline/test_objects.h"
#include "support/open_handles.h"

namespace tovalen::comline::testing {
namespace {

constexpr int ROUNDS = 10000;
constexpr int WARM_UP_ROUNDS = 1000;
// Sixteen bytes lost per round would be 160 KB; the heap's own bookkeeping stays well below.
constexpr std::int64_t TOLERATED_GROWTH = 96 * 1024;

struct Footprint {
    std::int64_t handles = 0;
    std::int64_t private_bytes = 0;
};

// Wine 8 leaves PrivateUsage at 0; the commit charge is then read from PagefileUsage, which
// Windows documents as the same private-memory figure.
Footprint measure()
{
    Footprint footprint;
    footprint.handles = tovalen::testing::open_handle_count();
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof counters)) {
        footprint.private_bytes = static_cast<std::int64_t>(
            counters.PrivateUsage > 0 ? counters.PrivateUsage : counters.PagefileUsage);
    }
    return footprint;
}

// Members for the paths a stock object does not take: exceptions, null objects, non-objects.
TestDispatch* make_awkward_object()
{
    auto* object = new TestDispatch();
    object->stop_recording();
    object->add_member(L"Number", 1, returns_integer(7));
    object->add_member(L"Fail", 2, raises(L"Always fails", false));
    object->add_member(L"FailLater", 3, raises(L"Fails afterwards", true));
    object->add_member(L"Nothing", 4, returns_object(nullptr));
    object->add_member(L"Word", 5, returns_text(L"not an object"));
    object->add_member(L"_NewEnum", DISPID_NEWENUM, fails_leaving_exception_texts(E_FAIL));
    return object;
}

void one_round(ComLineObject* dictionary, ComLineObject* awkward)
{
    call_method(dictionary, L"Add('key', 'some text value')");
    read_integer(dictionary, L"Count");
    read_integer(dictionary, L"Exists('key')");
    read_text(dictionary, L"Item('key')");
    write_property(dictionary, L"Item('key') = 'another $0041 text'");
    read_real(dictionary, L"Item('held')\\Number");
    free_variant(read_variant(dictionary, L"Keys"));
    if (auto* held = static_cast<ComLineObject*>(read_object(dictionary, L"Item('held')", nullptr, VT_DISPATCH))) {
        read_date(held, L"Number");
        release_object(held);
    }
    if (ComLineEnumeration* keys = open_enumeration(dictionary, L"")) {
        while (VARIANT* key = next_variant(keys)) {
            free_variant(key);
        }
        release_enumeration(keys);
    }
    call_method(dictionary, L"Remove('key')");
    call_method(dictionary, L"Add(");  // a parse failure
    call_method(awkward, L"Fail(1, 'x')");
    call_method(awkward, L"FailLater");
    call_method(awkward, L"Nothing\\Number");
    call_method(awkward, L"Word\\Number");
    call_method(awkward, L"Missing");
    release_enumeration(open_enumeration(awkward, L""));  // its enumerator lookup fails
    ParsedCommand* prepared = nullptr;
    if (parse_command(L"Number", &prepared) == 0) {
        read_text(awkward, L"", prepared);
        free_parsed_command(prepared);
    }
}

using LeakTest = LayerTest;

TEST_F(LeakTest, TheMeasurementSeesALeakOfTheToleratedSize)
{
    const Footprint before = measure();
    ASSERT_GT(before.handles, 0);
    ASSERT_GT(before.private_bytes, 0);
    std::vector<BSTR> leaked;
    leaked.reserve(ROUNDS);
    for (int i = 0; i < ROUNDS; ++i) {
        leaked.push_back(::SysAllocStringLen(nullptr, 16));  // 16 characters lost per round
    }
    platform::UniqueKernelHandle lost_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const Footprint after = measure();
    for (BSTR text : leaked) {
        ::SysFreeString(text);
    }
    EXPECT_GT(after.private_bytes - before.private_bytes, TOLERATED_GROWTH);
    EXPECT_EQ(after.handles, before.handles + 1);
}

TEST_F(LeakTest, TenThousandRoundsLeaveHandlesAndPrivateBytesFlat)
{
    auto* awkward_target = make_awkward_object();
    ComLineObject* awkward = wrap_interface(awkward_target);
    ComLineObject* dictionary = create_automation_object(L"Scripting.Dictionary", nullptr, false);
    ASSERT_NE(dictionary, nullptr);
    ASSERT_EQ(call_method(dictionary, L"Add('held', " + address_of(static_cast<IDispatch*>(awkward_target)) +
                                          L" as object)"),
              0);
    for (int i = 0; i < WARM_UP_ROUNDS; ++i) {
        one_round(dictionary, awkward);
    }
    const Footprint before = measure();
    for (int i = 0; i < ROUNDS; ++i) {
        one_round(dictionary, awkward);
    }
    const Footprint after = measure();
    std::printf("handles %lld -> %lld, private bytes %lld -> %lld (%+lld)\n",
                static_cast<long long>(before.handles), static_cast<long long>(after.handles),
                static_cast<long long>(before.private_bytes), static_cast<long long>(after.private_bytes),
                static_cast<long long>(after.private_bytes - before.private_bytes));
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_LT(after.private_bytes - before.private_bytes, TOLERATED_GROWTH);
    EXPECT_EQ(live_object_count(), 2);

    release_object(dictionary);
    release_object(awkward);
    EXPECT_EQ(awkward_target->references(), 1u);
    awkward_target->Release();
}

}  // namespace
}  // namespace tovalen::comline::testing
