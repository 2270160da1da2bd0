// What the headless desktops of the tests share: the unprivileged user they
// run as (compositors refuse root, and CI runs as root), programs run to
// their end, files a program in the session writes, and grim's pictures.
#pragma once

#include "tests/harness/x_client.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrove::e2e {

// The desktop's user, added once; empty when this process is not root and
// runs the desktop itself.
std::string DesktopUser();

// A copy of `path` in `directory` (a session's own), executable by the
// desktop's user, who may not read this build's tree; the copy's path.
std::string HandOver(const std::string& directory, const std::string& path);

// Runs a program to its end; its standard output, or throws with its error.
std::string RunToEnd(const std::vector<std::string>& argv);

// Whether `program` is installed in one of the system's program directories.
bool OnPath(const std::string& program);

// Reads a file that a program in the session writes; nullopt while it is missing.
std::optional<std::string> ReadFile(const std::string& path);

// The picture of a binary PPM (grim -t ppm); throws when it holds none.
Image ImageFromPpm(const std::string& ppm);

} // namespace kestrove::e2e
