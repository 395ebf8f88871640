// 3-D transforms in the row-vector convention, and rectangle division.

#include "platform/graphics/Rect.h"
#include "platform/graphics/Transform3D.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace morvix::platform;

TEST(Transform3DTest, OrderOfStepsFollowsThePlatformsConvention)
{
    // concat(a, b) applies a, then b: scaling then moving keeps the move unscaled.
    auto scaleThenMove = Transform3D::concat(Transform3D::makeScale(2, 2, 1), Transform3D::makeTranslation(10, 0, 0));
    EXPECT_EQ(scaleThenMove.project({ 1, 1 }), (Point { 12, 2 }));
    // translated(t) applies the translation before t, so it is scaled too.
    auto moveThenScale = Transform3D::makeScale(2, 2, 1).translated(10, 0, 0);
    EXPECT_EQ(moveThenScale.project({ 1, 1 }), (Point { 22, 2 }));
    EXPECT_TRUE(moveThenScale.isFlat());
    EXPECT_EQ(moveThenScale.affine(), (AffineTransform { 2, 0, 0, 2, 20, 0 }));

    // A turn about z matches the affine rotation.
    auto turn = Transform3D::makeRotation(std::numbers::pi / 2, 0, 0, 1);
    Point turned = turn.project({ 1, 0 });
    Point expected = AffineTransform::rotation(std::numbers::pi / 2).apply(Point { 1, 0 });
    EXPECT_NEAR(turned.x, expected.x, 1e-12);
    EXPECT_NEAR(turned.y, expected.y, 1e-12);
    EXPECT_TRUE(Transform3D::makeRotation(1, 0, 0, 0).isIdentity());

    // With perspective, a door turned about the vertical axis shrinks the side that moves away.
    Transform3D perspective;
    perspective.m34 = -1.0 / 500;
    auto door = perspective.rotated(std::numbers::pi / 4, 0, 1, 0);
    EXPECT_FALSE(door.isFlat());
    Point near = door.project({ -100, 100 });
    Point far = door.project({ 100, 100 });
    EXPECT_GT(near.y, far.y) << "the far edge is shorter";
    EXPECT_NEAR(door.project({ 0, 50 }).y, 50, 1e-12) << "the axis stays put";
}

TEST(RectDivisionTest, SliceIsClampedToTheRectangle)
{
    Rect bounds(10, 20, 320, 100);
    auto left = bounds.divided(20, RectEdge::MinX);
    EXPECT_EQ(left.slice, Rect(10, 20, 20, 100));
    EXPECT_EQ(left.remainder, Rect(30, 20, 300, 100));
    auto right = bounds.divided(20, RectEdge::MaxX);
    EXPECT_EQ(right.slice, Rect(310, 20, 20, 100));
    EXPECT_EQ(right.remainder, Rect(10, 20, 300, 100));
    auto bottom = bounds.divided(30, RectEdge::MaxY);
    EXPECT_EQ(bottom.slice, Rect(10, 90, 320, 30));
    EXPECT_EQ(bottom.remainder, Rect(10, 20, 320, 70));
    auto all = bounds.divided(500, RectEdge::MinY);
    EXPECT_EQ(all.slice, Rect(10, 20, 320, 100));
    EXPECT_EQ(all.remainder, Rect(10, 120, 320, 0));
    auto none = Rect(0, 0, -50, 10).divided(-5, RectEdge::MinX);
    EXPECT_EQ(none.slice, Rect(-50, 0, 0, 10));
    EXPECT_EQ(none.remainder, Rect(-50, 0, 50, 10));
}
