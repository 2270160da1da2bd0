// The shapes of the program's resources: dialog templates, accelerator
// tables, string tables and the version definition, with the Windows values
// they are spelled in. Shared by the tables (res/resources.h), the generators
// and the lookups that backends use (res/resource_lookup.h).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrove::res {

constexpr std::uint16_t kLanguageJapanese = 0x0411;
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;
constexpr std::uint16_t kCodePageUnicode = 0x04B0;

// ---------------------------------------------------------------- dialogs

constexpr std::uint16_t kClassButton = 0x0080;
constexpr std::uint16_t kClassStatic = 0x0082;

struct DialogControl {
    int id; // -1: none
    std::uint16_t classOrdinal;
    std::u16string_view text; // empty when iconId is set
    int iconId;               // icon resource by ordinal, 0: none
    int x, y, cx, cy;         // dialog units
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    std::uint32_t style;
    std::uint32_t exStyle;
    int x, y, cx, cy; // dialog units
    std::u16string_view caption;
    std::u16string_view fontFace;
    int pointSize;
    int weight;
    bool italic;
    int charset;
    std::span<const DialogControl> controls;
};

// Window styles spelled out in the templates.
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t DS_MODALFRAME = 0x00000080;
constexpr std::uint32_t DS_SETFONT = 0x00000040;
constexpr std::uint32_t SS_ICON = 0x00000003;
constexpr std::uint32_t SS_NOPREFIX = 0x00000080;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x00000001;

constexpr std::u16string_view kDialogFont = u"MS UI Gothic";

// ---------------------------------------------------------- accelerators

constexpr std::uint16_t FVIRTKEY = 0x01;
constexpr std::uint16_t FNOINVERT = 0x02;
constexpr std::uint16_t FSHIFT = 0x04;
constexpr std::uint16_t FCONTROL = 0x08;
constexpr std::uint16_t FALT = 0x10;
constexpr std::uint16_t kAccelLastEntry = 0x80;

struct AcceleratorEntry {
    std::uint16_t flags; // without the last-entry mark, which the table's end implies
    std::uint16_t key;   // virtual-key code
    std::uint16_t command;
};

// ---------------------------------------------------------------- strings

struct StringEntry {
    int id;
    std::u16string_view text;
};

// ---------------------------------------------------------------- version

struct VersionString {
    std::u16string_view key;
    std::u16string_view value;
};

struct VersionDefinition {
    std::array<std::uint16_t, 4> fileVersion;
    std::array<std::uint16_t, 4> productVersion;
    std::uint32_t fileFlagsMask;
    std::uint32_t fileFlags;
    std::uint32_t fileOs;
    std::uint32_t fileType;
    std::uint32_t fileSubtype;
    std::uint16_t language;
    std::uint16_t codePage;
    std::array<VersionString, 8> strings;
};

} // namespace kestrove::res
