// The calls that the stand-in Magnification.dll recorded, read back from its
// log (see magnification_standin.cpp for the lines).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

struct MagnificationCall {
    std::string line;     // as recorded
    std::string function; // "MagInitialize", ..., or "DLL_PROCESS_DETACH"
    unsigned long long magnifier = 0;
    unsigned long long parent = 0;
    RECT source{};     // MagSetWindowSource
    float matrix[9]{}; // MagSetWindowTransform, row by row
    int result = -1;   // after "->"; -1 where the line has none
};

// Every call recorded so far; empty when the log is missing.
std::vector<MagnificationCall> ReadMagnificationLog(const std::wstring& path);

} // namespace driver
