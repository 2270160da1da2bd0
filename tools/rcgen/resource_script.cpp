#include "tools/rcgen/resource_script.h"

#include "res/resources.h"

#include <cstdio>
#include <string_view>

namespace kestrove::rcgen {

namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// A path as an .rc narrow-string literal.
std::string PathLiteral(const std::string& path) {
    std::string literal = "\"";
    for (const char c : path) {
        literal += c == '\\' ? "\\\\" : std::string(1, c);
    }
    return literal + "\"";
}

std::string Language(std::uint16_t language) {
    // LANGUAGE takes the primary and the sub-language.
    return "LANGUAGE " + Hex(language & 0x3FFu) + ", " + Hex(language >> 10) + "\n";
}

static_assert(res::kDialogLayoutRecord.size() == 2, "the layout record is one WORD");

std::string Dialog(const res::DialogTemplate& dialog) {
    std::string rc = std::to_string(dialog.id) + " DIALOGEX " + std::to_string(dialog.x) + ", " +
                     std::to_string(dialog.y) + ", " + std::to_string(dialog.cx) + ", " +
                     std::to_string(dialog.cy) + "\n";
    rc += "STYLE " + Hex(dialog.style) + "\n";
    rc += "EXSTYLE " + Hex(dialog.exStyle) + "\n";
    if (!dialog.caption.empty()) {
        rc += "CAPTION " + WideLiteral(dialog.caption) + "\n";
    }
    rc += "FONT " + std::to_string(dialog.pointSize) + ", " + WideLiteral(dialog.fontFace) + ", " +
          std::to_string(dialog.weight) + ", " + (dialog.italic ? "1" : "0") + ", " +
          Hex(static_cast<std::uint32_t>(dialog.charset)) + "\n";
    rc += "BEGIN\n";
    for (const res::DialogControl& control : dialog.controls) {
        // A number as text is the resource ordinal of the picture (SS_ICON);
        // a number as class is the predefined class's ordinal.
        const std::string text =
            control.iconId != 0 ? std::to_string(control.iconId) : WideLiteral(control.text);
        rc += "  CONTROL " + text + ", " + std::to_string(control.id) + ", " +
              Hex(control.classOrdinal) + ", " + Hex(control.style) + ", " +
              std::to_string(control.x) + ", " + std::to_string(control.y) + ", " +
              std::to_string(control.cx) + ", " + std::to_string(control.cy) + ", 0x0, 0\n";
    }
    rc += "END\n";
    // The layout record that stands beside every template.
    rc += std::to_string(dialog.id) + " AFX_DIALOG_LAYOUT\nBEGIN\n  " +
          Hex(static_cast<std::uint32_t>(res::kDialogLayoutRecord[0] | res::kDialogLayoutRecord[1]
                                                                           << 8)) +
          "\nEND\n";
    return rc;
}

std::string Accelerators() {
    std::string rc = std::to_string(IDR_MIRROR_ACCEL) + " ACCELERATORS\nBEGIN\n";
    for (const res::AcceleratorEntry& entry : res::kMirrorAccelerators) {
        rc += "  " + Hex(entry.key) + ", " + std::to_string(entry.command);
        if ((entry.flags & res::FVIRTKEY) != 0) {
            rc += ", VIRTKEY";
        }
        if ((entry.flags & res::FNOINVERT) != 0) {
            rc += ", NOINVERT";
        }
        if ((entry.flags & res::FSHIFT) != 0) {
            rc += ", SHIFT";
        }
        if ((entry.flags & res::FCONTROL) != 0) {
            rc += ", CONTROL";
        }
        if ((entry.flags & res::FALT) != 0) {
            rc += ", ALT";
        }
        rc += "\n";
    }
    return rc + "END\n";
}

std::string Strings() {
    std::string rc = "STRINGTABLE\nBEGIN\n";
    for (const res::StringEntry& entry : res::kStrings) {
        rc += "  " + std::to_string(entry.id) + ", " + WideLiteral(entry.text) + "\n";
    }
    return rc + "END\n";
}

std::string VersionNumber(const std::array<std::uint16_t, 4>& version) {
    return std::to_string(version[0]) + ", " + std::to_string(version[1]) + ", " +
           std::to_string(version[2]) + ", " + std::to_string(version[3]);
}

std::string Version() {
    const res::VersionDefinition& v = res::kVersion;
    char block[9];
    std::snprintf(block, sizeof block, "%04x%04x", v.language, v.codePage);
    std::string rc = "1 VERSIONINFO\n";
    rc += "FILEVERSION " + VersionNumber(v.fileVersion) + "\n";
    rc += "PRODUCTVERSION " + VersionNumber(v.productVersion) + "\n";
    rc += "FILEFLAGSMASK " + Hex(v.fileFlagsMask) + "\n";
    rc += "FILEFLAGS " + Hex(v.fileFlags) + "\n";
    rc += "FILEOS " + Hex(v.fileOs) + "\n";
    rc += "FILETYPE " + Hex(v.fileType) + "\n";
    rc += "FILESUBTYPE " + Hex(v.fileSubtype) + "\n";
    rc += "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n";
    rc += "    BLOCK \"" + std::string(block) + "\"\n    BEGIN\n";
    for (const res::VersionString& entry : v.strings) {
        rc += "      VALUE " + WideLiteral(entry.key) + ", " + WideLiteral(entry.value) + "\n";
    }
    rc += "    END\n  END\n";
    rc += "  BLOCK \"VarFileInfo\"\n  BEGIN\n";
    rc += "    VALUE \"Translation\", " + Hex(v.language) + ", " + Hex(v.codePage) + "\n";
    rc += "  END\nEND\n";
    return rc;
}

} // namespace

std::string WideLiteral(std::u16string_view text) {
    std::string literal = "L\"";
    for (const char16_t unit : text) {
        if (unit == u'"') {
            literal += "\"\"";
        } else if (unit == u'\\') {
            literal += "\\\\";
        } else if (unit >= 0x20 && unit < 0x7F) {
            literal += static_cast<char>(unit);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%04x", static_cast<unsigned>(unit));
            literal += escape;
        }
    }
    return literal + "\"";
}

std::string ResourceScript(const ResourceFiles& files) {
    std::string rc = "// Generated from res/resources.h by rcgen; do not edit.\n\n";
    rc += Language(res::kLanguageJapanese) + "\n";
    for (const res::DialogTemplate* dialog : res::kDialogs) {
        rc += Dialog(*dialog) + "\n";
    }
    rc += Accelerators() + "\n";
    rc += Strings() + "\n";
    rc += std::to_string(IDR_MAIN_ICON) + " ICON " + PathLiteral(files.icon) + "\n\n";
    rc += Version() + "\n";
    // The manifest is the one resource in US English.
    rc += Language(res::kLanguageEnglishUs);
    rc += "1 24 " + PathLiteral(files.manifest) + "\n";
    return rc;
}

} // namespace kestrove::rcgen
