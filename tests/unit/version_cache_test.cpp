#include "program/about/version_cache.h"

#include "common/utf.h"
#include "tests/fake/recording_platform.h"
#include "tools/version_info/version_block_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrove::testing {
namespace {

using ::testing::ElementsAre;
using namespace versioninfo;

using Translations = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

Node Table(std::uint16_t language, std::uint16_t codePage, std::vector<Node> strings) {
    return Group(StringTableName(language, codePage), std::move(strings));
}

std::vector<std::uint8_t> Block(const Translations& translations, std::vector<Node> tables) {
    return LayOut(VersionInfoRoot(FixedFileInfo(res::kVersion),
                                  {Group(u"StringFileInfo", std::move(tables)),
                                   Group(u"VarFileInfo", {TranslationNode(translations)})}));
}

std::vector<std::uint8_t> ProductVersionBlock(std::u16string_view value) {
    return Block({{0x0411, 0x04B0}}, {Table(0x0411, 0x04B0, {TextNode(u"ProductVersion", value)})});
}

class VersionCacheTest : public ::testing::Test {
protected:
    std::string Label() { return ToUtf8(cache.label()); }

    RecordingPlatform platform;
    VersionCache cache; // as a fresh process has it
};

TEST_F(VersionCacheTest, ReadsTheReleaseResourceOnceThenKeepsIt) {
    platform.versionFile = LayOut(VersionInfoTree(res::kVersion));
    EXPECT_EQ(Label(), "Kestrove Ver.:2-0-0-100");
    EXPECT_EQ(cache.version(), u"Ver.:2.0.0.100");
    EXPECT_TRUE(cache.built());
    // The reads are the behaviour here: the file is read once, in these steps.
    EXPECT_THAT(platform.takeCalls(),
                ElementsAre("getFileVersionInfoSize(/opt/kestrove/Kestrove)", "getFileVersionInfo",
                            "verQueryValue(\\VarFileInfo\\Translation)",
                            "verQueryValue(\\StringFileInfo\\041104b0\\ProductVersion)"));

    // A changed file shows only after a restart.
    platform.versionFile = ProductVersionBlock(u"9.9");
    EXPECT_EQ(Label(), "Kestrove Ver.:2-0-0-100");
    EXPECT_TRUE(platform.takeCalls().empty());
}

TEST_F(VersionCacheTest, OnlyTheFirstTranslationNamesTheStringTable) {
    platform.versionFile = Block({{0x0409, 0x04E4}, {0x0411, 0x04B0}},
                                 {Table(0x0411, 0x04B0, {TextNode(u"ProductVersion", u"2.0")}),
                                  Table(0x0409, 0x04E4, {TextNode(u"ProductVersion", u"1.5")})});
    EXPECT_EQ(Label(), "Kestrove Ver.:1-5");
    EXPECT_THAT(platform.takeCalls(),
                ::testing::Contains("verQueryValue(\\StringFileInfo\\040904e4\\ProductVersion)"));
}

// Each of these ends the attempt early: the label has no version, the cache
// stays empty and unbuilt, and the next opening reads the file again.
TEST_F(VersionCacheTest, FailedAttemptsLeaveTheCacheEmptyAndTryAgain) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
        bool readFails;
    } cases[] = {
        {"no version information", {}, false},
        {"read fails", LayOut(VersionInfoTree(res::kVersion)), true},
        {"no translation",
         LayOut(VersionInfoRoot(
             FixedFileInfo(res::kVersion),
             {Group(u"StringFileInfo",
                    {Table(0x0411, 0x04B0, {TextNode(u"ProductVersion", u"2.0.0.100")})})})),
         false},
        {"translation shorter than one entry",
         [] {
             Node translation{u"Translation", false, {0x11, 0x04}, 2, {}};
             return LayOut(VersionInfoRoot(
                 FixedFileInfo(res::kVersion),
                 {Group(u"StringFileInfo",
                        {Table(0x0411, 0x04B0, {TextNode(u"ProductVersion", u"2.0.0.100")})}),
                  Group(u"VarFileInfo", {translation})}));
         }(),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cache = VersionCache();
        platform.versionFile = c.file;
        platform.versionReadFails = c.readFails;
        EXPECT_EQ(Label(), "Kestrove ");
        EXPECT_FALSE(cache.built());
        EXPECT_EQ(cache.version(), u"");
        platform.takeCalls();

        EXPECT_EQ(Label(), "Kestrove ");
        EXPECT_THAT(platform.takeCalls(),
                    ::testing::Contains("getFileVersionInfoSize(/opt/kestrove/Kestrove)"));

        platform.versionFile = LayOut(VersionInfoTree(res::kVersion));
        platform.versionReadFails = false;
        EXPECT_EQ(Label(), "Kestrove Ver.:2-0-0-100");
    }
}

TEST_F(VersionCacheTest, MissingProductVersionCountsAsReadWithAnEmptyValue) {
    platform.versionFile =
        Block({{0x0411, 0x04B0}}, {Table(0x0411, 0x04B0, {TextNode(u"FileVersion", u"2.0")})});
    EXPECT_EQ(Label(), "Kestrove Ver.:");
    EXPECT_TRUE(cache.built());
}

TEST_F(VersionCacheTest, ValuesLongerThanTheCacheAreCutToFit) {
    for (const std::size_t length : {250u, 251u, 600u}) {
        cache = VersionCache();
        platform.versionFile = ProductVersionBlock(std::u16string(length, u'7'));
        const std::string label = Label();
        const std::size_t kept = std::min<std::size_t>(length, kVersionCacheLength - 6);
        EXPECT_EQ(label, "Kestrove Ver.:" + std::string(kept, '7')) << length;
        // "Ver.:" and what fits before the terminator.
        EXPECT_EQ(cache.version().size(), 5 + kept);
    }
}

// A ProductVersion whose node says binary has its length in bytes; read as
// characters it must still end inside what was read, at the block's end.
TEST_F(VersionCacheTest, BinaryProductVersionIsReadWithinTheBlock) {
    Node product{u"ProductVersion", false, {'7', 0, '.', 0, '1', 0, '!', 0}, 8, {}};
    // The string table last, so the value ends where the block ends.
    platform.versionFile = LayOut(
        VersionInfoRoot(FixedFileInfo(res::kVersion),
                        {Group(u"VarFileInfo", {TranslationNode({{0x0411, 0x04B0}})}),
                         Group(u"StringFileInfo", {Table(0x0411, 0x04B0, {std::move(product)})})}));
    EXPECT_EQ(Label(), "Kestrove Ver.:7-1!");
}

} // namespace
} // namespace kestrove::testing
