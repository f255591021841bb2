#include <gtest/gtest.h>

#include "engine/engine.h"

TEST(LineTables, CornerAndCentreWindowLists) {
    init();
    EXPECT_EQ(Point2Win[0][0][0], 0);
    EXPECT_EQ(Point2Win[0][0][1], 320);
    EXPECT_EQ(Point2Win[0][0][2], 640);
    for (int slot = 3; slot < 20; ++slot) EXPECT_EQ(Point2Win[0][0][slot], -1);
    const int centre[20] = {166, 167, 168, 169, 170, 450, 470, 490, 510, 530,
                            742, 759, 776, 793, 810, 1002, 1017, 1032, 1047, 1062};
    for (int slot = 0; slot < 20; ++slot) EXPECT_EQ(Point2Win[10][10][slot], centre[slot]);
}
