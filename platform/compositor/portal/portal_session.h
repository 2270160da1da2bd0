// One consent of the desktop's ScreenCast portal: a portal session asking for
// monitors, with the cursor drawn into the picture. Nothing is kept for the
// next run (no restore token is asked for).
//
// Nothing here waits: every step is an asynchronous call on the session bus,
// answered when the caller's loop hands over what arrived (dispatch()). Each
// method call, and each answer that needs no user, must come within a time
// limit (deadline()); the user's own answer in the desktop's dialog has none.
// Every value the portal sends is checked for its type before it is read.
#pragma once

#include "platform/compositor/frame_capture.h"
#include "platform/types.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrove::compositor::portal {

struct PortalStream {
    std::uint32_t node = 0; // the PipeWire node carrying the monitor
    Rect rect;              // logical size, and position where the portal gives one
    bool placed = false;    // false: the portal gave no position (KDE), rect starts at 0,0
};

class PortalSession {
public:
    using Clock = std::chrono::steady_clock;
    enum class State { Asking, Granted, Failed };

    // Starts asking at once. `bus` must outlive the session. `parentWindow`
    // places the desktop's dialog over ours ("x11:<window id in hex>"), empty
    // for none.
    PortalSession(sd_bus* bus, std::string parentWindow);
    // Withdraws a request still unanswered (the dialog closes) and ends the
    // portal's session.
    ~PortalSession();
    PortalSession(const PortalSession&) = delete;
    PortalSession& operator=(const PortalSession&) = delete;

    State state() const { return m_state; }
    // Failed: why, in words for a line on standard error.
    const std::string& problem() const { return m_problem; }
    // Who declined, where the portal answered that the share will not be.
    Refusal refusal() const { return m_refusal; }
    // Granted: the monitors, and a connection to PipeWire that reaches them
    // only (handed over once; -1 after).
    const std::vector<PortalStream>& streams() const { return m_streams; }
    int takePipeWireRemote();
    // Set once the desktop has ended a granted session (sharing stopped by
    // the user, portal gone); says why.
    const std::string& ended() const { return m_ended; }

    // When the step now awaited runs out of time; nothing while the user
    // decides or nothing is awaited.
    std::optional<Clock::time_point> deadline() const { return m_deadline; }
    // Fails the session when its deadline has passed.
    void checkDeadline(Clock::time_point now);

private:
    enum class Step { Properties, CreateSession, SelectSources, Start, PipeWireRemote };
    using StepHandler = bool (PortalSession::*)(sd_bus_message* results);

    static int onPropertiesReply(sd_bus_message* reply, void* self, sd_bus_error*);
    static int onRequestReply(sd_bus_message* reply, void* self, sd_bus_error*);
    static int onResponse(sd_bus_message* signal, void* self, sd_bus_error*);
    static int onRemoteReply(sd_bus_message* reply, void* self, sd_bus_error*);
    static int onSessionClosed(sd_bus_message* signal, void* self, sd_bus_error*);
    static int onPortalGone(sd_bus_message* signal, void* self, sd_bus_error*);

    void askProperties();
    // Calls a request method of the portal; the answer comes as the
    // request's Response signal, handed to the step's handler.
    void request(const char* method, Step step);
    bool sessionCreated(sd_bus_message* results);
    bool sourcesSelected(sd_bus_message* results);
    bool started(sd_bus_message* results);
    void askRemote();

    void limitStep();
    void fail(std::string problem);
    void failUnreadable();
    std::string errorOf(sd_bus_message* reply) const;

    sd_bus* m_bus;
    std::string m_parentWindow;
    State m_state = State::Asking;
    Step m_step = Step::Properties;
    std::string m_problem;
    Refusal m_refusal = Refusal::Nobody;
    std::string m_ended;
    std::optional<Clock::time_point> m_deadline;

    bool m_cursorEmbedded = false;
    std::string m_handlePrefix; // request paths: prefix + token
    std::string m_token;        // of the request awaited
    std::string m_request;      // its path, while unanswered
    std::string m_session;
    std::vector<PortalStream> m_streams;
    int m_remote = -1;

    sd_bus_slot* m_call = nullptr;     // the method call awaiting its reply
    sd_bus_slot* m_response = nullptr; // the request's Response
    sd_bus_slot* m_closed = nullptr;
    sd_bus_slot* m_portalGone = nullptr;
};

} // namespace kestrove::compositor::portal
