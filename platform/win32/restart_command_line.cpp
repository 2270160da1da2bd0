#include "platform/win32/restart_command_line.h"

#include "common/wide_format.h"

namespace kestrove::win32 {

std::u16string FormatRestartIdentifier(const GUID& guid) {
    const auto b = guid.Data4;
    return WideFormat(u"%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X",
                      {std::int64_t{guid.Data1}, std::int64_t{guid.Data2}, std::int64_t{guid.Data3},
                       std::int64_t{b[0]}, std::int64_t{b[1]}, std::int64_t{b[2]},
                       std::int64_t{b[3]}, std::int64_t{b[4]}, std::int64_t{b[5]},
                       std::int64_t{b[6]}, std::int64_t{b[7]}});
}

std::u16string BuildRestartCommandLine(std::u16string_view arguments,
                                       std::u16string_view identifier) {
    const std::u16string restartArgument = u"RestartByRestartManager:" + std::u16string(identifier);
    std::u16string commandLine(arguments);
    if (commandLine.find(restartArgument) == std::u16string::npos) {
        commandLine += u" /" + restartArgument;
    }
    return commandLine;
}

} // namespace kestrove::win32
