// Another client that changes the root window's cursor all the time, from
// a thread of its own, while it exists: each change reaches the clients that
// watch the cursor as an XFixes event, at any moment (closing included).
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace kestrove::e2e {

class CursorChanger {
public:
    explicit CursorChanger(const std::string& display);
    ~CursorChanger();
    CursorChanger(const CursorChanger&) = delete;
    CursorChanger& operator=(const CursorChanger&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace kestrove::e2e
