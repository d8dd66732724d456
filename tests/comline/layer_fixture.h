// What every test of the layer shares: an apartment, and the check that no object outlives the
// test.
#pragma once

#include <gtest/gtest.h>

#include "comline/comline.h"
#include "platform/handles.h"

namespace tovalen::comline::testing {

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(com_.result()));
        ASSERT_EQ(live_object_count(), 0);
        free_error_records();
    }
    void TearDown() override { EXPECT_EQ(live_object_count(), 0); }

    static std::int64_t code_of(HRESULT hr) { return static_cast<std::int64_t>(static_cast<std::uint32_t>(hr)); }

private:
    platform::CoInitGuard com_;
};

}  // namespace tovalen::comline::testing
