// What every test of the layer shares: an apartment, the check that no object outlives the test,
// and the layer's codes as numbers.
#pragma once

#include <gtest/gtest.h>

#include "comline/comline.h"
#include "platform/handles.h"

namespace tovalen::comline::testing {

// An HRESULT as the layer reports it: the unsigned 32-bit value in a 64-bit number.
constexpr std::int64_t code_of(HRESULT hr)
{
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(hr));
}

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(com_.result()));
        ASSERT_EQ(live_object_count(), 0);
        free_error_records();
    }
    void TearDown() override { EXPECT_EQ(live_object_count(), 0); }

private:
    platform::CoInitGuard com_;
};

}  // namespace tovalen::comline::testing
