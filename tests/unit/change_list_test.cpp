#include "platform/compositor/change_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrove {
namespace {

using ::testing::UnorderedElementsAreArray;

TEST(ChangeList, KeepsFarAreasApartAndMergesWhereABoxCostsLittle) {
    struct Case {
        const char* what;
        std::vector<Rect> added;
        std::vector<Rect> kept;
    };
    const Case cases[] = {
        {"far apart",
         {{0, 0, 10, 10}, {500, 500, 510, 510}},
         {{0, 0, 10, 10}, {500, 500, 510, 510}}},
        {"mostly overlapping", {{0, 0, 100, 100}, {10, 10, 110, 110}}, {{0, 0, 110, 110}}},
        {"a corner overlapping: the box would read more than both",
         {{0, 0, 100, 100}, {50, 50, 150, 150}},
         {{0, 0, 100, 100}, {50, 50, 150, 150}}},
        {"side by side", {{0, 0, 100, 20}, {100, 0, 200, 20}}, {{0, 0, 200, 20}}},
        {"a merge reaches a third",
         {{0, 0, 100, 100}, {300, 0, 400, 100}, {90, 0, 310, 100}},
         {{0, 0, 400, 100}}},
        {"empty ones", {{5, 5, 5, 50}, {7, 7, 3, 9}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChangeList list;
        for (const Rect& r : c.added) {
            list.add(r);
        }
        EXPECT_FALSE(list.everything());
        EXPECT_THAT(list.rects(), UnorderedElementsAreArray(c.kept));
    }
}

TEST(ChangeList, PastItsLimitCountsAsEverything) {
    ChangeList list(3);
    for (int i = 0; i < 4; ++i) {
        list.add({i * 1000, 0, i * 1000 + 10, 10});
    }
    EXPECT_TRUE(list.everything());
    EXPECT_FALSE(list.empty());
    list.clear();
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace kestrove
