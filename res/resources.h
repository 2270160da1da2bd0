// The program's resources, defined once. The Windows resource script and the
// Linux executable's version block are generated from these tables; the X11
// platform reads the same tables at run time through res/resource_lookup.h.
#pragma once

#include "res/resource_ids.h"
#include "res/resource_types.h"

#include <array>

namespace kestrove::res {

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

inline constexpr std::array<AcceleratorEntry, 7> kMirrorAccelerators{{
    {FVIRTKEY | FNOINVERT, 0x0D, ID_ACCEL_RETURN},
    {FVIRTKEY | FNOINVERT, 0x1B, ID_ACCEL_ESCAPE},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x31, ID_SELECT_MONITOR_1},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x32, ID_SELECT_MONITOR_2},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x33, ID_SELECT_MONITOR_3},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x34, ID_SELECT_MONITOR_4},
    {FVIRTKEY | FNOINVERT | FCONTROL, 0x35, ID_SELECT_MONITOR_5},
}};

// Every accelerator table of the module, by resource id.
struct AcceleratorTable {
    int id;
    std::span<const AcceleratorEntry> entries;
};
inline constexpr std::array<AcceleratorTable, 1> kAcceleratorTables{{
    {IDR_MIRROR_ACCEL, kMirrorAccelerators},
}};

inline constexpr std::array<StringEntry, 10> kStrings{{
    {IDS_ABOUT_MENU, u"Kestroveについて(&A)..."},
    // Told once on a Wayland desktop whose compositor lets no program capture the
    // screen.
    {IDS_NO_SCREEN_CAPTURE,
     u"このデスクトップでは画面を取り込めません。コンポジターが画面の取り込み"
     u"（ext-image-copy-capture-v1、wlr-screencopy-unstable-v1、または画面共有ポータル）に"
     u"対応していないため、ミラーは空白のままになります。"},
    // Told once when the user did not agree to share the screen.
    {IDS_SCREEN_SHARE_REFUSED, u"画面の共有が許可されなかったため、ミラーは空白のままになります。"},
    // Told once when the desktop could not start sharing the screen (KDE
    // without OpenGL compositing refuses every request).
    {IDS_SCREEN_CAST_FAILED,
     u"デスクトップが画面の共有を開始できなかったため、ミラーは空白のままになります。"},
    // Told once when screens were shared but none can be told to be the
    // monitor shown (the desktop gave no places and sizes that tell).
    {IDS_SCREEN_SHARE_UNPAIRED,
     u"共有された画面のどれがこのモニターなのか判別できないため、ミラーは空白のままになります。"},
    {IDS_FRAMEWORK_APP_TITLE, u"Kestrove"},
    {IDS_FRAMEWORK_NO_MEMORY, u"メモリが不足しています。"},
    {IDS_FRAMEWORK_HELP_FAILED, u"ヘルプの起動に失敗しました。"},
    {IDS_FRAMEWORK_INTERNAL_ERROR, u"アプリケーションの内部エラーです。"},
    {IDS_FRAMEWORK_COMMAND_FAILED, u"コマンドの実行に失敗しました。"},
}};

// The layout record beside each dialog template: version 0, no items.
inline constexpr std::array<std::uint8_t, 2> kDialogLayoutRecord{0, 0};

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

} // namespace kestrove::res
