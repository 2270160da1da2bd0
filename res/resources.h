// The program's resources, defined once. The Windows resource script and the
// Linux executable's version block are generated from these tables; the X11
// platform reads the same tables at run time.
#pragma once

#include "res/resource_ids.h"

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

inline constexpr std::array<DialogControl, 4> kAboutControls{{
    {-1, kClassStatic, u"", IDR_MAIN_ICON, 14, 14, 20, 20, 0x50000003},
    {IDC_VERSION_LABEL, kClassStatic, u"Kestrove、バージョン 1.0", 0, 42, 14, 114, 8, 0x50020080},
    {-1, kClassStatic, u"モニターのライブミラー", 0, 42, 26, 114, 8, 0x50020000},
    {1, kClassButton, u"OK", 0, 113, 41, 50, 14, 0x50030001},
}};

inline constexpr DialogTemplate kAboutDialog{
    IDD_ABOUT,   0x80C800C0, 0, 0,     0, 170,           62, u"Kestrove について",
    kDialogFont, 9,          0, false, 1, kAboutControls};

inline constexpr DialogTemplate kMirrorDialog{
    IDD_MIRROR, 0x90CE0040, WS_EX_APPWINDOW, 0, 0, 320, 200, u"", kDialogFont, 9, 0, false, 1, {}};

inline constexpr std::array<const DialogTemplate*, 2> kDialogs{&kMirrorDialog, &kAboutDialog};

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

inline constexpr std::array<AcceleratorEntry, 7> kMirrorAccelerators{{
    {FVIRTKEY | FNOINVERT, 0x0D, ID_ACCEL_RETURN},
    {FVIRTKEY | FNOINVERT, 0x1B, ID_ACCEL_ESCAPE},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x31, ID_SELECT_MONITOR_1},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x32, ID_SELECT_MONITOR_2},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x33, ID_SELECT_MONITOR_3},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x34, ID_SELECT_MONITOR_4},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x35, ID_SELECT_MONITOR_5},
}};

// ---------------------------------------------------------------- strings

struct StringEntry {
    int id;
    std::u16string_view text;
};

inline constexpr std::array<StringEntry, 6> kStrings{{
    {IDS_ABOUT_MENU, u"Kestroveについて(&A)..."},
    // Told once on a Wayland desktop whose compositor lets no program capture the screen.
    {IDS_NO_SCREEN_CAPTURE,
     u"このデスクトップでは画面を取り込めません。コンポジターが画面の取り込み"
     u"（ext-image-copy-capture-v1 または wlr-screencopy-unstable-v1）に対応していないため、"
     u"ミラーは空白のままになります。"},
    {IDS_FRAMEWORK_NO_MEMORY, u"メモリが不足しています。"},
    {IDS_FRAMEWORK_HELP_FAILED, u"ヘルプの起動に失敗しました。"},
    {IDS_FRAMEWORK_INTERNAL_ERROR, u"アプリケーションの内部エラーです。"},
    {IDS_FRAMEWORK_COMMAND_FAILED, u"コマンドの実行に失敗しました。"},
}};

// The layout record beside each dialog template: version 0, no items.
inline constexpr std::array<std::uint8_t, 2> kDialogLayoutRecord{0, 0};

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

inline constexpr VersionDefinition kVersion{
    {2, 0, 0, 100},
    {2, 0, 0, 100},
    0x3F,
    0,
    0x40004,
    1,
    0,
    kLanguageJapanese,
    kCodePageUnicode,
    {{
        {u"CompanyName", u"Kestrove Project"},
        {u"FileDescription", u"Kestrove"},
        {u"FileVersion", u"2.0.0.100"},
        {u"InternalName", u"Kestrove.exe"},
        {u"LegalCopyright", u"Copyright (C) 2026 Kestrove Project"},
        {u"OriginalFilename", u"Kestrove.exe"},
        {u"ProductName", u"Kestrove"},
        {u"ProductVersion", u"2.0.0.100"},
    }}};

// Lookups over the tables above; nullptr / empty when the id is not defined.
constexpr const DialogTemplate* FindDialog(int id) {
    for (const DialogTemplate* dialog : kDialogs) {
        if (dialog->id == id) {
            return dialog;
        }
    }
    return nullptr;
}

constexpr std::u16string_view FindString(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}

} // namespace kestrove::res
