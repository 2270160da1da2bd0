#include "platform/win32/magnification_api.h"

#include "platform/win32/system_library.h"
#include "platform/win32/wine_stub_guard.h"

namespace kestrove::win32 {

MagnificationApi::~MagnificationApi() {
    // The platform that owns this outlives every window of the process, so
    // no magnifier control is left when the run-time objects go.
    for (; m_initialized > 0; --m_initialized) {
        call(m_pfnUninitialize);
    }
    if (m_hLibrary != nullptr) {
        FreeLibrary(m_hLibrary);
    }
}

template <typename Function, typename... Arguments>
bool MagnificationApi::call(Function function, Arguments... arguments) {
    if (function == nullptr || m_bStubMet) {
        return false;
    }
    BOOL result = FALSE;
    auto invoke = [&] { result = function(arguments...); };
    if (!CallUnlessWineStub(invoke)) {
        m_bStubMet = true;
        return false;
    }
    return result != FALSE;
}

bool MagnificationApi::initialize() {
    if (!m_bLoadTried) {
        m_bLoadTried = true;
        m_hLibrary = LoadSystemLibrary(L"Magnification.dll");
        if (m_hLibrary != nullptr) {
            m_pfnInitialize = LookUp<InitializeFn>(m_hLibrary, "MagInitialize");
            m_pfnUninitialize = LookUp<InitializeFn>(m_hLibrary, "MagUninitialize");
            m_pfnSetWindowSource = LookUp<SetWindowSourceFn>(m_hLibrary, "MagSetWindowSource");
            m_pfnSetWindowTransform =
                LookUp<SetWindowTransformFn>(m_hLibrary, "MagSetWindowTransform");
        }
    }
    if (!call(m_pfnInitialize)) {
        return false;
    }
    ++m_initialized;
    return true;
}

bool MagnificationApi::setWindowSource(HWND magnifier, RECT source) {
    return call(m_pfnSetWindowSource, magnifier, source);
}

bool MagnificationApi::setWindowTransform(HWND magnifier, const float (&matrix)[3][3]) {
    float copy[3][3];
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            copy[row][column] = matrix[row][column];
        }
    }
    return call(m_pfnSetWindowTransform, magnifier, static_cast<void*>(copy));
}

} // namespace kestrove::win32
