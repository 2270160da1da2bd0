// The message boxes' line breaker with every character one unit wide.
#include "platform/x11/dialogs/line_breaker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrove::x11 {
namespace {

int CodeUnits(std::u16string_view text) {
    return static_cast<int>(text.size());
}

struct BreakCase {
    const char* what;
    std::u16string text;
    int width;
    std::vector<std::u16string> lines;
};

void PrintTo(const BreakCase& test, std::ostream* out) {
    *out << test.what;
}

class LineBreaker : public testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaker, BreaksWhereTheTextAllows) {
    const BreakCase& test = GetParam();
    EXPECT_EQ(BreakLines(test.text, test.width, CodeUnits), test.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LineBreaker,
    testing::Values(
        BreakCase{"Empty", u"", 10, {u""}},
        BreakCase{"FitsOnOneLine", u"screen capture", 20, {u"screen capture"}},
        BreakCase{
            "LatinAtSpaces", u"no screen capture here", 10, {u"no screen", u"capture", u"here"}},
        BreakCase{"SpacesAtTheBreakDropped", u"abc    def", 5, {u"abc", u"def"}},
        BreakCase{
            "ExplicitBreaksKept", u"one\ntwo\r\n\nthree", 20, {u"one", u"two", u"", u"three"}},
        BreakCase{"WordLongerThanTheWidth",
                  u"a wlr-screencopy-unstable b",
                  8,
                  {u"a", u"wlr-scre", u"encopy-u", u"nstable", u"b"}},
        BreakCase{"JapaneseBetweenCharacters",
                  u"画面を取り込めません",
                  4,
                  {u"画面を取", u"り込めま", u"せん"}},
        BreakCase{"NoLineStartsWithPunctuation",
                  u"取り込めません。次へ",
                  7,
                  {u"取り込めませ", u"ん。次へ"}},
        BreakCase{"NoLineStartsWithClosingBracketOrSmallKana",
                  u"あいう」えおかっき",
                  3,
                  {u"あい", u"う」え", u"おかっ", u"き"}},
        BreakCase{"NoLineEndsWithOpeningBracket", u"ミラー（画面", 4, {u"ミラー", u"（画面"}},
        BreakCase{"ProlongedSoundMarkStaysWithItsWord", u"コンポジター", 5, {u"コンポジ", u"ター"}},
        BreakCase{"MixedLatinWordsStayWhole",
                  u"画面の取り込み（ext-image-copy、wlr）に",
                  16,
                  {u"画面の取り込み", u"（ext-image-copy、", u"wlr）に"}},
        BreakCase{"SurrogatePairNeverSplit",
                  u"a\U00020BB7\U00020BB7",
                  2,
                  {u"a", u"\U00020BB7", u"\U00020BB7"}}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::x11
