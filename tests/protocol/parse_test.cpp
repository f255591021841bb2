#include <gtest/gtest.h>

#include "protocol/protocol.h"

TEST(CommandMatch, PrefixWithoutRegardToCase) {
    const char* param = get_cmd_param("turn", "TURNX 3,4");
    ASSERT_NE(param, nullptr);
    EXPECT_STREQ(param, "X 3,4");
    EXPECT_EQ(get_cmd_param("start", "sta"), nullptr);
}
