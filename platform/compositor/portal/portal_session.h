// The ScreenCast portal's side of capturing: one session for the whole run,
// asking for every monitor at once with the cursor drawn into the picture,
// so that the user agrees once and switching monitors needs no new dialog.
// Nothing is kept for the next run (no restore token is asked for).
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

namespace kestrove::compositor {

struct PortalStream {
    std::uint32_t node = 0; // the PipeWire node carrying the monitor
    Rect rect;              // logical position and size in the desktop's layout
};

class PortalSession {
public:
    // Opens a session and waits for the user's answer in the desktop's dialog.
    // nullptr with `reason` set when there is no session bus, no ScreenCast
    // portal on it, the user refuses, or the portal fails.
    static std::unique_ptr<PortalSession> open(std::string& reason);
    ~PortalSession();
    PortalSession(const PortalSession&) = delete;
    PortalSession& operator=(const PortalSession&) = delete;

    const std::vector<PortalStream>& streams() const { return m_streams; }
    bool cursorEmbedded() const { return m_cursorEmbedded; }
    // A connection to PipeWire that reaches the granted streams only; the
    // caller owns it. -1 with `reason` set on failure.
    int openPipeWireRemote(std::string& reason);

    // The bus connection, to be watched for the session's end.
    int busDescriptor() const;
    // Handles what arrived on the bus. Never blocks.
    void dispatch();
    // Set once the desktop has ended the session (sharing stopped by the
    // user, portal gone); says why.
    const std::string& ended() const { return m_ended; }

private:
    PortalSession() = default;
    struct Answer;
    using Append = std::function<int(sd_bus_message*)>;
    // Calls a request method of the portal: `arguments` appends what comes
    // before the options, `options` adds entries to them. Waits for the
    // answer; false with `reason` set when there is none or it is not a yes.
    bool request(const char* method, const Append& arguments, const Append& options, Answer& answer,
                 std::string& reason);
    bool createSession(std::string& reason);
    bool selectSources(std::string& reason);
    bool start(std::string& reason);

    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_closed = nullptr;
    sd_bus_slot* m_portalGone = nullptr;
    std::string m_handlePrefix; // request paths: prefix + token
    std::string m_session;
    std::vector<PortalStream> m_streams;
    bool m_cursorEmbedded = false;
    std::string m_ended;
    unsigned m_tokens = 0;
};

} // namespace kestrove::compositor
