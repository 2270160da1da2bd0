// The resources of the built Kestrove.exe, read back from the file and
// compared with their single definitions in res/.
#include "common/version_block.h"
#include "pe_resources.h"
#include "res/resources.h"
#include "resource_formats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <tuple>

namespace kestrove::pe {
namespace {

constexpr std::uint16_t RT_ICON = 3;
constexpr std::uint16_t RT_DIALOG = 5;
constexpr std::uint16_t RT_STRING = 6;
constexpr std::uint16_t RT_ACCELERATOR = 9;
constexpr std::uint16_t RT_GROUP_ICON = 14;
constexpr std::uint16_t RT_VERSION = 16;
constexpr std::uint16_t RT_MANIFEST = 24;
const ResourceId kLayoutType = std::u16string(u"AFX_DIALOG_LAYOUT");

std::vector<std::uint8_t> FileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::u16string Text(std::u16string_view text) {
    return std::u16string(text);
}

class ExecutableResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_image = new Image(ReadImage(KESTROVE_EXE_PATH)); }
    static void TearDownTestSuite() {
        delete s_image;
        s_image = nullptr;
    }

    static const Resource& Japanese(const ResourceId& type, const ResourceId& name) {
        const Resource* resource = FindResource(*s_image, type, name, res::kLanguageJapanese);
        if (resource == nullptr) {
            throw std::runtime_error("a resource is missing or not in Japanese");
        }
        return *resource;
    }

    static std::vector<IconGroupEntry> IconGroup() {
        return DecodeIconGroup(Japanese(RT_GROUP_ICON, std::uint16_t{IDR_MAIN_ICON}).data);
    }

    static Image* s_image;
};

Image* ExecutableResources::s_image = nullptr;

// Only DLLs that Windows never looks for beside the executable are imported:
// its KnownDLLs (the ones a program like this may use) and the Common Controls,
// which the manifest binds side by side. The runtime is linked in; VERSION.dll
// and the Magnification API are loaded from the system folder at run time.
TEST_F(ExecutableResources, IsA64BitGuiProgramImportingOnlyKnownOrSideBySideDlls) {
    EXPECT_EQ(s_image->machine, 0x8664); // AMD64
    EXPECT_EQ(s_image->subsystem, 2);    // Windows GUI
    EXPECT_FALSE(s_image->importedDlls.empty());
    for (std::string dll : s_image->importedDlls) {
        std::ranges::transform(dll, dll.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_THAT(dll,
                    ::testing::AnyOf("advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
                                     "msvcrt.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll",
                                     "shell32.dll", "shlwapi.dll", "user32.dll", "comctl32.dll"));
    }
}

TEST_F(ExecutableResources, HoldsExactlyTheProgramsResources) {
    using Key = std::tuple<ResourceId, ResourceId, std::uint16_t>;
    std::set<Key> expected;
    for (const res::DialogTemplate* dialog : res::kDialogs) {
        const auto id = static_cast<std::uint16_t>(dialog->id);
        expected.emplace(RT_DIALOG, id, res::kLanguageJapanese);
        expected.emplace(kLayoutType, id, res::kLanguageJapanese);
    }
    expected.emplace(RT_ACCELERATOR, std::uint16_t{IDR_MIRROR_ACCEL}, res::kLanguageJapanese);
    for (const res::StringEntry& entry : res::kStrings) {
        expected.emplace(RT_STRING, static_cast<std::uint16_t>(entry.id / 16 + 1),
                         res::kLanguageJapanese);
    }
    expected.emplace(RT_GROUP_ICON, std::uint16_t{IDR_MAIN_ICON}, res::kLanguageJapanese);
    for (const IconGroupEntry& icon : IconGroup()) {
        expected.emplace(RT_ICON, icon.id, res::kLanguageJapanese);
    }
    expected.emplace(RT_VERSION, std::uint16_t{1}, res::kLanguageJapanese);
    expected.emplace(RT_MANIFEST, std::uint16_t{1}, res::kLanguageEnglishUs);

    std::set<Key> found;
    for (const Resource& resource : s_image->resources) {
        EXPECT_TRUE(found.emplace(resource.type, resource.name, resource.language).second)
            << "a resource appears twice";
    }
    EXPECT_EQ(found, expected);
}

TEST_F(ExecutableResources, DialogTemplatesAndLayoutRecordsMatchTheDefinitions) {
    for (const res::DialogTemplate* definition : res::kDialogs) {
        SCOPED_TRACE(definition->id);
        const auto id = static_cast<std::uint16_t>(definition->id);
        const Dialog dialog = DecodeDialogEx(Japanese(RT_DIALOG, id).data);
        EXPECT_EQ(dialog.version, 1);
        EXPECT_EQ(dialog.signature, 0xFFFF);
        EXPECT_EQ(dialog.helpId, 0u);
        EXPECT_EQ(dialog.style, definition->style);
        EXPECT_EQ(dialog.exStyle, definition->exStyle);
        EXPECT_EQ(std::tuple(dialog.x, dialog.y, dialog.cx, dialog.cy),
                  std::tuple(definition->x, definition->y, definition->cx, definition->cy));
        EXPECT_EQ(dialog.menu, NameOrOrdinal{});
        EXPECT_EQ(dialog.windowClass, NameOrOrdinal{});
        EXPECT_EQ(dialog.caption, Text(definition->caption));
        EXPECT_EQ(dialog.pointSize, definition->pointSize);
        EXPECT_EQ(dialog.weight, definition->weight);
        EXPECT_EQ(dialog.italic, definition->italic ? 1 : 0);
        EXPECT_EQ(dialog.charset, definition->charset);
        EXPECT_EQ(dialog.typeface, Text(definition->fontFace));

        ASSERT_EQ(dialog.items.size(), definition->controls.size());
        for (std::size_t i = 0; i < dialog.items.size(); ++i) {
            SCOPED_TRACE(i);
            const DialogItem& item = dialog.items[i];
            const res::DialogControl& control = definition->controls[i];
            EXPECT_EQ(std::tuple(item.helpId, item.exStyle, item.style),
                      std::tuple(0u, 0u, control.style));
            EXPECT_EQ(std::tuple(item.x, item.y, item.cx, item.cy),
                      std::tuple(control.x, control.y, control.cx, control.cy));
            EXPECT_EQ(item.id, control.id);
            EXPECT_EQ(item.windowClass, NameOrOrdinal{control.classOrdinal});
            const NameOrOrdinal text =
                control.iconId != 0 ? NameOrOrdinal{static_cast<std::uint16_t>(control.iconId)}
                                    : NameOrOrdinal{Text(control.text)};
            EXPECT_EQ(item.text, text);
            EXPECT_EQ(item.extraBytes, 0);
        }

        EXPECT_EQ(Japanese(kLayoutType, id).data,
                  std::vector<std::uint8_t>(res::kDialogLayoutRecord.begin(),
                                            res::kDialogLayoutRecord.end()));
    }
}

TEST_F(ExecutableResources, AcceleratorTableListsTheEntriesInOrderWithTheEndMark) {
    const std::vector<std::uint8_t>& data =
        Japanese(RT_ACCELERATOR, std::uint16_t{IDR_MIRROR_ACCEL}).data;
    ASSERT_EQ(data.size(), res::kMirrorAccelerators.size() * 8);
    for (std::size_t i = 0; i < res::kMirrorAccelerators.size(); ++i) {
        SCOPED_TRACE(i);
        std::uint16_t words[4];
        std::memcpy(words, data.data() + 8 * i, sizeof words);
        const res::AcceleratorEntry& entry = res::kMirrorAccelerators[i];
        const bool last = i + 1 == res::kMirrorAccelerators.size();
        EXPECT_EQ(words[0], entry.flags | (last ? res::kAccelLastEntry : 0));
        EXPECT_EQ(words[1], entry.key);
        EXPECT_EQ(words[2], entry.command);
        EXPECT_EQ(words[3], 0);
    }
    // The table as described: Return, Escape, then Ctrl+1 ... Ctrl+5 (0x8B last).
    EXPECT_EQ(data[0], 0x03);
    EXPECT_EQ(data[6 * 8], 0x8B);
}

TEST_F(ExecutableResources, StringTableHoldsTheProgramsStringsAndTheApplicationsTitle) {
    for (const res::StringEntry& entry : res::kStrings) {
        SCOPED_TRACE(entry.id);
        const auto block = static_cast<std::uint16_t>(entry.id / 16 + 1);
        EXPECT_EQ(DecodeStringBlock(Japanese(RT_STRING, block).data).at(entry.id % 16),
                  Text(entry.text));
    }
    // String 0xE000 names the application, whatever the executable is called.
    const Resource* block =
        FindResource(*s_image, RT_STRING, std::uint16_t{0xE000 / 16 + 1}, res::kLanguageJapanese);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(DecodeStringBlock(block->data).at(0), u"Kestrove");
}

TEST_F(ExecutableResources, IconGroupHasEightSquare32BitImagesFromTheIconFile) {
    const std::vector<IconGroupEntry> group = IconGroup();
    const std::vector<std::vector<std::uint8_t>> images = IcoImages(FileBytes(KESTROVE_ICON_PATH));
    ASSERT_EQ(group.size(), 8u);
    ASSERT_EQ(images.size(), group.size());
    const int sizes[] = {16, 24, 32, 48, 64, 96, 128, 256};
    for (std::size_t i = 0; i < group.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(group[i].width, sizes[i]);
        EXPECT_EQ(group[i].height, sizes[i]);
        EXPECT_EQ(group[i].planes, 1);
        EXPECT_EQ(group[i].bitCount, 32);
        const std::vector<std::uint8_t>& image = Japanese(RT_ICON, group[i].id).data;
        EXPECT_EQ(image.size(), group[i].bytes);
        EXPECT_EQ(image, images[i]);
    }
}

TEST_F(ExecutableResources, VersionResourceMatchesTheDefinition) {
    const std::vector<std::uint8_t>& block = Japanese(RT_VERSION, std::uint16_t{1}).data;
    const res::VersionDefinition& v = res::kVersion;
    const void* value = nullptr;
    std::uint32_t length = 0;

    ASSERT_TRUE(QueryVersionValue(block.data(), u"\\", &value, &length));
    ASSERT_EQ(length, 52u); // VS_FIXEDFILEINFO
    std::uint32_t fixed[13];
    std::memcpy(fixed, value, sizeof fixed);
    const auto high = [](const std::array<std::uint16_t, 4>& n) {
        return std::uint32_t{n[0]} << 16 | n[1];
    };
    const auto low = [](const std::array<std::uint16_t, 4>& n) {
        return std::uint32_t{n[2]} << 16 | n[3];
    };
    EXPECT_EQ(fixed[0], 0xFEEF04BDu);
    EXPECT_EQ(fixed[2], high(v.fileVersion));
    EXPECT_EQ(fixed[3], low(v.fileVersion));
    EXPECT_EQ(fixed[4], high(v.productVersion));
    EXPECT_EQ(fixed[5], low(v.productVersion));
    EXPECT_EQ(std::tuple(fixed[6], fixed[7], fixed[8], fixed[9], fixed[10]),
              std::tuple(v.fileFlagsMask, v.fileFlags, v.fileOs, v.fileType, v.fileSubtype));
    EXPECT_EQ(std::tuple(fixed[11], fixed[12]), std::tuple(0u, 0u)); // file date
    EXPECT_EQ(fixed[2], 0x00020000u);
    EXPECT_EQ(fixed[3], 0x00000064u);

    ASSERT_TRUE(QueryVersionValue(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    std::uint16_t translation[2];
    std::memcpy(translation, value, sizeof translation);
    EXPECT_EQ(translation[0], v.language);
    EXPECT_EQ(translation[1], v.codePage);

    // The strings, in the table's order: each lies after the one before.
    const void* previous = nullptr;
    for (const res::VersionString& entry : v.strings) {
        SCOPED_TRACE(std::string(entry.key.begin(), entry.key.end()));
        const std::u16string path = u"\\StringFileInfo\\041104b0\\" + Text(entry.key);
        ASSERT_TRUE(QueryVersionValue(block.data(), path.c_str(), &value, &length));
        EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), Text(entry.value));
        EXPECT_GT(value, previous);
        previous = value;
    }
}

TEST_F(ExecutableResources, ManifestIsTheFileWithItsByteOrderMark) {
    const Resource* manifest =
        FindResource(*s_image, RT_MANIFEST, std::uint16_t{1}, res::kLanguageEnglishUs);
    ASSERT_NE(manifest, nullptr);
    EXPECT_EQ(manifest->data, FileBytes(KESTROVE_MANIFEST_PATH));
    const std::string text(manifest->data.begin(), manifest->data.end());
    EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF<?xml"));
    for (const char* required :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "processorArchitecture=\"amd64\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"",
          "level=\"asInvoker\" uiAccess=\"false\"",
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"}) {
        EXPECT_THAT(text, ::testing::HasSubstr(required));
    }
}

} // namespace
} // namespace kestrove::pe
