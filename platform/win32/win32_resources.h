// The module's own resources: the icon group, accelerator table and strings
// that the resource script compiled into the executable.
#pragma once

#include "platform/seam/module_resources.h"
#include "platform/win32/handles.h"

#include <windows.h>

namespace kestrove::win32 {

class Win32Resources final : public ModuleResources {
public:
    explicit Win32Resources(HINSTANCE instance) : m_hInstance(instance) {}

    IconHandle loadIcon(int id) override {
        return ToSeam(LoadIconW(m_hInstance, MAKEINTRESOURCEW(id)));
    }
    AccelHandle loadAccelerators(int id) override {
        return ToSeam(LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(id)));
    }
    std::u16string loadString(int id) override;

private:
    HINSTANCE m_hInstance;
};

} // namespace kestrove::win32
