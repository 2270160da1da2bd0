#include "program/about/version_label.h"

#include "common/utf.h"

#include <gtest/gtest.h>

namespace kestrove {
namespace {

TEST(VersionLabel, ReplacesInOrderWithoutRescanningInsertedText) {
    const struct {
        std::u16string_view cache;
        std::u16string_view label;
    } cases[] = {
        {u"Ver.:2.0.0.100", u"Kestrove Ver.:2-0-0-100"},
        {u"", u"Kestrove "},
        {u"Ver.:", u"Kestrove Ver.:"},
        {u"Ver.:1, 0, 0, 1", u"Kestrove Ver.:1- 0- 0- 1"},
        {u"Ver.:1;2", u"Kestrove Ver.:1.2"},
        {u"Ver.:3.1 (100%)", u"Kestrove Ver.:3-1 (100.:)"},
        {u"Ver.:a.:b", u"Kestrove Ver.:a.:b"},
        // ".:" pairs are taken left to right without overlap: "..:" keeps its
        // first dot as a dot to replace.
        {u"Ver.:..:", u"Kestrove Ver.:-.:"},
        // Each "%" becomes ".:" once; the inserted ".:" is not scanned again.
        {u"Ver.:%%", u"Kestrove Ver.:.:.:"},
        {u"Ver.:二.〇;β", u"Kestrove Ver.:二-〇.β"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf8(FormatVersionLabel(c.cache)), ToUtf8(c.label)) << ToUtf8(c.cache);
    }
}

} // namespace
} // namespace kestrove
