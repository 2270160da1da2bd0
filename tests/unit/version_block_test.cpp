#include "common/version_block.h"

#include "common/utf.h"
#include "tools/version_info/version_block_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace kestrove {
namespace {

using versioninfo::LayOut;
using versioninfo::VersionInfoTree;

std::vector<std::uint8_t> ReleaseBlock() {
    return LayOut(VersionInfoTree(res::kVersion));
}

std::uint16_t WordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t DwordAt(const void* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Node headers of the block windres makes from the same VERSIONINFO script.
TEST(VersionBlock, IsLaidOutAsTheResourceCompilerLaysItOut) {
    const std::vector<std::uint8_t> block = ReleaseBlock();
    ASSERT_EQ(block.size(), 744u);
    const struct {
        std::size_t offset;
        std::uint16_t length, valueLength, type;
    } nodes[] = {
        {0x000, 0x2E8, 0x34, 0}, // VS_VERSION_INFO
        {0x05C, 0x248, 0, 1},    // StringFileInfo
        {0x080, 0x224, 0, 1},    // 041104b0
        {0x098, 0x042, 17, 1},   // CompanyName
        {0x26C, 0x038, 10, 1},   // ProductVersion
        {0x2A4, 0x044, 0, 1},    // VarFileInfo
        {0x2C4, 0x024, 4, 0},    // Translation
    };
    for (const auto& node : nodes) {
        EXPECT_EQ(WordAt(block, node.offset), node.length) << node.offset;
        EXPECT_EQ(WordAt(block, node.offset + 2), node.valueLength) << node.offset;
        EXPECT_EQ(WordAt(block, node.offset + 4), node.type) << node.offset;
    }
}

TEST(VersionBlock, FindsTheFixedPartTranslationAndStrings) {
    const std::vector<std::uint8_t> block = ReleaseBlock();
    const void* value = nullptr;
    std::uint32_t length = 0;

    ASSERT_TRUE(QueryVersionValue(block.data(), u"\\", &value, &length));
    ASSERT_EQ(length, 52u);
    const auto* fixed = static_cast<const std::uint8_t*>(value);
    EXPECT_EQ(DwordAt(fixed), 0xFEEF04BDu);
    EXPECT_EQ(DwordAt(fixed + 8), 0x00020000u); // file version, most significant
    EXPECT_EQ(DwordAt(fixed + 12), 100u);
    EXPECT_EQ(DwordAt(fixed + 24), 0x3Fu);    // flags mask
    EXPECT_EQ(DwordAt(fixed + 32), 0x40004u); // OS

    ASSERT_TRUE(QueryVersionValue(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(DwordAt(value), 0x04B00411u);

    for (const res::VersionString& entry : res::kVersion.strings) {
        const std::u16string path = u"\\StringFileInfo\\041104b0\\" + std::u16string(entry.key);
        ASSERT_TRUE(QueryVersionValue(block.data(), path.c_str(), &value, &length)) << ToUtf8(path);
        EXPECT_EQ(length, entry.value.size() + 1);
        EXPECT_EQ(std::u16string_view(static_cast<const char16_t*>(value)), entry.value);
    }
    // Names are compared as Windows compares them, without regard to case.
    ASSERT_TRUE(QueryVersionValue(block.data(), u"\\stringfileinfo\\041104B0\\PRODUCTVERSION",
                                  &value, &length));
    EXPECT_EQ(std::u16string_view(static_cast<const char16_t*>(value)), u"2.0.0.100");
}

TEST(VersionBlock, RefusesPathsThatNameNothing) {
    const std::vector<std::uint8_t> block = ReleaseBlock();
    const void* value = nullptr;
    std::uint32_t length = 0;
    for (const char16_t* path :
         {u"\\StringFileInfo\\040904e4\\ProductVersion", u"\\StringFileInfo\\041104b0\\Product",
          u"\\StringFileInfo\\041104b0\\ProductVersionX", u"\\VarFileInfo\\Translation\\x",
          u"\\Translation", u"\\041104b0"}) {
        EXPECT_FALSE(QueryVersionValue(block.data(), path, &value, &length)) << ToUtf8(path);
    }
    EXPECT_FALSE(QueryVersionValue(nullptr, u"\\", &value, &length));
    EXPECT_FALSE(QueryVersionValue(block.data(), nullptr, &value, &length));
    EXPECT_EQ(value, nullptr);
}

const char16_t* const kQueries[] = {
    u"\\",
    u"\\VarFileInfo\\Translation",
    u"\\StringFileInfo\\041104b0\\CompanyName",
    u"\\StringFileInfo\\041104b0\\ProductVersion",
    u"\\StringFileInfo\\041104b0\\Missing",
};

// Every answer lies inside the first `bound` bytes; text values count in characters.
void ExpectAnswersInside(const std::vector<std::uint8_t>& block, std::size_t bound,
                         const std::string& context) {
    for (const char16_t* path : kQueries) {
        const void* value = nullptr;
        std::uint32_t length = 0;
        if (!QueryVersionValue(block.data(), path, &value, &length)) {
            continue;
        }
        const auto start =
            static_cast<std::size_t>(static_cast<const std::uint8_t*>(value) - block.data());
        const bool text =
            std::u16string_view(path).find(u"StringFileInfo") != std::u16string_view::npos;
        const std::size_t bytes = length * (text ? 2u : 1u);
        EXPECT_LE(start, bound) << context << ' ' << ToUtf8(path);
        EXPECT_LE(start + bytes, bound) << context << ' ' << ToUtf8(path);
    }
}

// A block cut short: its root length says where it ends and the bytes after
// it are garbage. Nodes that do not fit are not found.
TEST(VersionBlock, StaysInsideTruncatedBlocks) {
    const std::vector<std::uint8_t> whole = ReleaseBlock();
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        std::vector<std::uint8_t> block(whole.size() + 64, 0xFF);
        std::copy_n(whole.begin(), cut, block.begin());
        block[0] = static_cast<std::uint8_t>(cut & 0xFF);
        block[1] = static_cast<std::uint8_t>(cut >> 8);
        ExpectAnswersInside(block, cut, "cut at " + std::to_string(cut));

        const void* value = nullptr;
        std::uint32_t length = 0;
        const bool found = QueryVersionValue(
            block.data(), u"\\StringFileInfo\\041104b0\\ProductVersion", &value, &length);
        EXPECT_EQ(found, cut >= 0x26C + 0x38) << cut;
    }
}

// Every byte of the block replaced by values that make lengths zero, tiny,
// odd or huge, and keys lose their terminators.
TEST(VersionBlock, StaysInsideCorruptedBlocks) {
    const std::vector<std::uint8_t> whole = ReleaseBlock();
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (const std::uint8_t corrupt : {0x00, 0x01, 0x05, 0x7F, 0xFF}) {
            std::vector<std::uint8_t> block = whole;
            block.resize(0x10000 + 8, 0xFF); // room for any root length
            block[at] = corrupt;
            const std::size_t bound = WordAt(block, 0);
            ExpectAnswersInside(block, bound, "byte " + std::to_string(at));
        }
    }
}

} // namespace
} // namespace kestrove
