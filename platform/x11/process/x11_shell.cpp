#include "platform/x11/process/x11_shell.h"

#include "common/version_block.h"
#include "platform/x11/process/elf_version_section.h"
#include "platform/x11/process/x11_process.h"

namespace kestrove::x11 {

std::uint32_t X11Shell::getModuleFileName(char16_t* buffer, std::uint32_t size) {
    return ModuleFileName(buffer, size);
}

bool X11Shell::winHelp(WindowHandle, std::u16string_view, std::uint32_t, std::uintptr_t) {
    return false;
}

std::uint32_t X11Shell::getFileVersionInfoSize(const char16_t* path) {
    return ReadVersionSectionSize(path);
}

bool X11Shell::getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) {
    return ReadVersionSection(path, size, block);
}

bool X11Shell::verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                             std::uint32_t* length) {
    return QueryVersionValue(block, subBlock, value, length);
}

} // namespace kestrove::x11
