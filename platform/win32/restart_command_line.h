// The command line the system restarts Kestrove with: the arguments it was
// started with and a restart argument naming this run.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kestrove::win32 {

// "%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X": the third group in
// lower case, as the framework writes it.
std::u16string FormatRestartIdentifier(const GUID& guid);

// `arguments` with " /RestartByRestartManager:<identifier>" appended, unless
// they hold that argument already.
std::u16string BuildRestartCommandLine(std::u16string_view arguments,
                                       std::u16string_view identifier);

} // namespace kestrove::win32
