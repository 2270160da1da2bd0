// The Windows layer's restart command line: the arguments kept, the restart
// argument added once.
#include "platform/win32/restart_command_line.h"

#include <gtest/gtest.h>

namespace kestrove::win32 {
namespace {

TEST(RestartCommandLine, KeepsArgumentsAndAddsTheRestartArgumentOnce) {
    const GUID guid{0xDEADBEEF, 0x00AB, 0x0CDE, {1, 2, 3, 4, 5, 6, 7, 0xFF}};
    const std::u16string id = FormatRestartIdentifier(guid);
    EXPECT_EQ(id, u"DEADBEEF-00AB-0cde-0102-0304050607FF");
    EXPECT_EQ(BuildRestartCommandLine(u"", id),
              u" /RestartByRestartManager:DEADBEEF-00AB-0cde-0102-0304050607FF");
    EXPECT_EQ(BuildRestartCommandLine(u"-x", id),
              u"-x /RestartByRestartManager:DEADBEEF-00AB-0cde-0102-0304050607FF");
    const std::u16string again = u"a b /RestartByRestartManager:" + id;
    EXPECT_EQ(BuildRestartCommandLine(again, id), again);
}

} // namespace
} // namespace kestrove::win32
