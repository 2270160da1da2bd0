#include "program/about/version_cache.h"

#include "common/fixed_text.h"
#include "common/wide_format.h"
#include "platform/platform.h"
#include "program/about/version_label.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace kestrove {

namespace {

VersionCache s_versionCache;

// A string value up to its terminator, never past the length the lookup gave.
std::u16string_view StringValue(const void* value, std::uint32_t length) {
    const auto* text = static_cast<const char16_t*>(value);
    std::size_t count = 0;
    while (count < length && text[count] != u'\0') {
        ++count;
    }
    return {text, count};
}

} // namespace

void VersionCache::fill() {
    Platform& platform = ThePlatform();
    StoreFixedText(m_szVersion, u"");

    platform.shell.getModuleFileName(m_szModulePath, kModulePathLength);

    const std::uint32_t size = platform.shell.getFileVersionInfoSize(m_szModulePath);
    if (size == 0) {
        return;
    }
    // Zeroed room beyond the block: a string value is read in characters, but
    // a value whose node is marked binary has its length in bytes, so twice
    // the block always holds what a reader of characters may reach.
    const std::unique_ptr<unsigned char[]> block(
        new (std::nothrow) unsigned char[2 * std::size_t{size} + 2]());
    if (!block) {
        return;
    }
    if (!platform.shell.getFileVersionInfo(m_szModulePath, size, block.get())) {
        return;
    }

    char16_t path[50] = {};
    StoreFixedText(path, u"\\VarFileInfo\\Translation");
    const void* translation = nullptr;
    std::uint32_t translationLength = 0;
    if (!platform.shell.verQueryValue(block.get(), path, &translation, &translationLength)) {
        return;
    }
    // Less than one whole entry is no translation at all.
    if (translation == nullptr || translationLength < sizeof(std::uint32_t)) {
        return;
    }
    std::uint32_t entry = 0;
    std::memcpy(&entry, translation, sizeof entry);

    char16_t language[16] = {};
    StoreFixedText(language, WideFormat(u"%04x%04x",
                                        {std::int64_t{entry & 0xFFFF}, std::int64_t{entry >> 16}}));
    StoreFixedText(path, WideFormat(u"\\StringFileInfo\\%s\\%s",
                                    {FixedText(language), std::u16string_view(u"ProductVersion")}));

    const void* value = nullptr;
    std::uint32_t valueLength = 0;
    // A table without "ProductVersion" still counts as read; its value is empty.
    const bool found = platform.shell.verQueryValue(block.get(), path, &value, &valueLength);
    const std::u16string_view product =
        found && value != nullptr ? StringValue(value, valueLength) : std::u16string_view();
    StoreFixedText(m_szVersion, WideFormat(u"Ver.:%s", {product}));
    m_bVersionRead = 1;
}

std::u16string VersionCache::label() {
    if (!built()) {
        fill();
    }
    return FormatVersionLabel(version());
}

std::u16string_view VersionCache::version() const {
    return FixedText(m_szVersion);
}

std::u16string BuildVersionLabel() {
    return s_versionCache.label();
}

} // namespace kestrove
