#include "platform/compositor/portal/portal_session.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrove::compositor::portal {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";
constexpr const char* kSessionInterface = "org.freedesktop.portal.Session";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";

constexpr std::uint32_t kSourceMonitor = 1;
constexpr std::uint32_t kCursorEmbedded = 2;

// The portal's answers to a request.
constexpr std::uint32_t kGranted = 0;
constexpr std::uint32_t kCancelled = 1;

// A working portal answers a call, or a step that asks nobody, at once; a
// few seconds let a slow machine through and still tell the user soon.
constexpr auto kStepLimit = std::chrono::seconds{3};

// Far beyond any real layout; keeps the arithmetic on them in range.
constexpr std::int32_t kLargestCoordinate = 1 << 20;

constexpr const char* kUnreadable = "the screen-cast portal sent an answer Kestrove cannot read";

// Entering a variant: true when it holds `expected`. (The portal's answers
// are maps of variants: the type of each value is the sender's choice.)
bool EnterVariant(sd_bus_message* message, const char* expected) {
    char type = 0;
    const char* contents = nullptr;
    return sd_bus_message_peek_type(message, &type, &contents) > 0 && type == 'v' &&
           contents != nullptr && std::strcmp(contents, expected) == 0 &&
           sd_bus_message_enter_container(message, 'v', expected) > 0;
}

// Calls `entry(key)` for each entry of an a{sv} at the message's read
// position, with the variant next to read; the callback reads or skips it
// and returns false for a value it cannot read.
template <typename Entry> bool ForEachEntry(sd_bus_message* message, Entry&& entry) {
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) {
        return false;
    }
    int r = 0;
    while ((r = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if (sd_bus_message_read(message, "s", &key) <= 0 || !entry(key) ||
            sd_bus_message_exit_container(message) < 0) {
            return false;
        }
    }
    return r == 0 && sd_bus_message_exit_container(message) >= 0;
}

bool SkipValue(sd_bus_message* message) {
    return sd_bus_message_skip(message, "v") >= 0;
}

bool ReadUnsigned(sd_bus_message* message, std::uint32_t& value) {
    return EnterVariant(message, "u") && sd_bus_message_read(message, "u", &value) > 0 &&
           sd_bus_message_exit_container(message) >= 0;
}

bool ReadPair(sd_bus_message* message, std::int32_t& a, std::int32_t& b) {
    return EnterVariant(message, "(ii)") && sd_bus_message_read(message, "(ii)", &a, &b) > 0 &&
           sd_bus_message_exit_container(message) >= 0;
}

bool InRange(std::int32_t value, std::int32_t low) {
    return value >= low && value <= kLargestCoordinate;
}

// One entry of the streams: its node, then a{sv} of what the portal tells.
bool ReadStream(sd_bus_message* message, PortalStream& stream, bool& isMonitor) {
    if (sd_bus_message_read(message, "u", &stream.node) <= 0) {
        return false;
    }
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    const bool read = ForEachEntry(message, [&](const char* key) {
        if (std::strcmp(key, "position") == 0) {
            stream.placed = true;
            return ReadPair(message, x, y) && InRange(x, -kLargestCoordinate) &&
                   InRange(y, -kLargestCoordinate);
        }
        if (std::strcmp(key, "size") == 0) {
            return ReadPair(message, width, height) && InRange(width, 0) && InRange(height, 0);
        }
        if (std::strcmp(key, "source_type") == 0) {
            std::uint32_t type = 0;
            if (!ReadUnsigned(message, type)) {
                return false;
            }
            isMonitor = type == kSourceMonitor;
            return true;
        }
        return SkipValue(message);
    });
    stream.rect = Rect{x, y, x + width, y + height};
    return read;
}

sd_bus_message* NewCall(sd_bus* bus, const char* path, const char* interface, const char* method) {
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, kPortal, path, interface, method) < 0) {
        return nullptr;
    }
    return call;
}

// Sends a call whose answer nobody waits for.
void SendWithoutReply(sd_bus* bus, const std::string& path, const char* interface,
                      const char* method) {
    sd_bus_message* call = NewCall(bus, path.c_str(), interface, method);
    if (call == nullptr) {
        return;
    }
    sd_bus_message_set_expect_reply(call, 0);
    sd_bus_send(bus, call, nullptr);
    sd_bus_message_unref(call);
}

std::uint64_t Microseconds(std::chrono::steady_clock::duration d) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(d).count());
}

} // namespace

PortalSession::PortalSession(sd_bus* bus, std::string parentWindow)
    : m_bus(bus), m_parentWindow(std::move(parentWindow)) {
    const char* unique = nullptr;
    if (const int r = sd_bus_get_unique_name(m_bus, &unique); r < 0) {
        fail(std::string("session bus: ") + std::strerror(-r));
        return;
    }
    // Request objects live at a path the portal derives from our name, so
    // that we can listen for the answer before asking.
    m_handlePrefix = "/org/freedesktop/portal/desktop/request/";
    for (const char* c = unique + 1; *c != '\0'; ++c) {
        m_handlePrefix += *c == '.' ? '_' : *c;
    }
    m_handlePrefix += '/';

    // The portal leaving the bus ends everything it handed out; so does one
    // replaced by another (xdg-desktop-portal --replace), which knows nothing
    // of the first one's sessions and requests.
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',"
                                         "member='NameOwnerChanged',arg0='") +
                             kPortal + "'";
    sd_bus_add_match_async(m_bus, &m_portalGone, rule.c_str(), onPortalGone, nullptr, this);
    askProperties();
}

PortalSession::~PortalSession() {
    // Closing the request closes the desktop's dialog with it.
    if (!m_request.empty()) {
        SendWithoutReply(m_bus, m_request, kRequestInterface, "Close");
    }
    if (!m_session.empty() && m_ended.empty()) {
        SendWithoutReply(m_bus, m_session, kSessionInterface, "Close");
    }
    sd_bus_slot_unref(m_call);
    sd_bus_slot_unref(m_response);
    sd_bus_slot_unref(m_closed);
    sd_bus_slot_unref(m_portalGone);
    if (m_remote >= 0) {
        close(m_remote);
    }
}

int PortalSession::takePipeWireRemote() {
    const int fd = m_remote;
    m_remote = -1;
    return fd;
}

void PortalSession::checkDeadline(Clock::time_point now) {
    if (m_state == State::Asking && m_deadline && now >= *m_deadline) {
        fail("the screen-cast portal did not answer within " +
             std::to_string(std::chrono::seconds{kStepLimit}.count()) + " s");
    }
}

void PortalSession::limitStep() {
    m_deadline = Clock::now() + kStepLimit;
}

void PortalSession::fail(std::string problem) {
    if (m_state == State::Failed) {
        return;
    }
    m_state = State::Failed;
    m_problem = std::move(problem);
    m_deadline.reset();
    m_call = sd_bus_slot_unref(m_call);
    m_response = sd_bus_slot_unref(m_response);
}

void PortalSession::failUnreadable() {
    fail(kUnreadable);
}

std::string PortalSession::errorOf(sd_bus_message* reply) const {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    if (error == nullptr) {
        return "no reason given";
    }
    if (error->message != nullptr) {
        return error->message;
    }
    return error->name != nullptr ? error->name : "no reason given";
}

// ---------------------------------------------------------------- the steps

void PortalSession::askProperties() {
    m_step = Step::Properties;
    sd_bus_message* call = NewCall(m_bus, kPortalPath, "org.freedesktop.DBus.Properties", "GetAll");
    int r = call != nullptr ? sd_bus_message_append(call, "s", kScreenCast) : -ENOMEM;
    if (r >= 0) {
        r = sd_bus_call_async(m_bus, &m_call, call, onPropertiesReply, this,
                              Microseconds(kStepLimit));
    }
    sd_bus_message_unref(call);
    if (r < 0) {
        fail(std::string("session bus: ") + std::strerror(-r));
        return;
    }
    limitStep();
}

int PortalSession::onPropertiesReply(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* self = static_cast<PortalSession*>(data);
    self->m_call = sd_bus_slot_unref(self->m_call);
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        self->fail("no screen-cast portal on the session bus (" + self->errorOf(reply) + ")");
        return 0;
    }
    std::optional<std::uint32_t> sources;
    std::uint32_t cursorModes = 0;
    const bool read = std::strcmp(sd_bus_message_get_signature(reply, 1), "a{sv}") == 0 &&
                      ForEachEntry(reply, [&](const char* key) {
                          if (std::strcmp(key, "AvailableSourceTypes") == 0) {
                              sources = 0;
                              return ReadUnsigned(reply, *sources);
                          }
                          if (std::strcmp(key, "AvailableCursorModes") == 0) {
                              return ReadUnsigned(reply, cursorModes);
                          }
                          return SkipValue(reply);
                      });
    if (!read) {
        self->failUnreadable();
        return 0;
    }
    if (!sources || (*sources & kSourceMonitor) == 0) {
        self->fail("the screen-cast portal offers no monitors");
        return 0;
    }
    self->m_cursorEmbedded = (cursorModes & kCursorEmbedded) != 0;
    self->request("CreateSession", Step::CreateSession);
    return 0;
}

void PortalSession::request(const char* method, Step step) {
    static unsigned tokens = 0;
    m_step = step;
    m_token = "kestrove" + std::to_string(getpid()) + "_" + std::to_string(++tokens);
    m_request = m_handlePrefix + m_token;
    // Listening before asking: the answer may come before the call's reply.
    int r = sd_bus_match_signal_async(m_bus, &m_response, kPortal, m_request.c_str(),
                                      kRequestInterface, "Response", onResponse, nullptr, this);
    sd_bus_message* call = r >= 0 ? NewCall(m_bus, kPortalPath, kScreenCast, method) : nullptr;
    if (r >= 0 && call == nullptr) {
        r = -ENOMEM;
    }
    if (r >= 0 && step != Step::CreateSession) {
        r = sd_bus_message_append(call, "o", m_session.c_str());
    }
    if (r >= 0 && step == Step::Start) {
        r = sd_bus_message_append(call, "s", m_parentWindow.c_str());
    }
    if (r >= 0) {
        r = sd_bus_message_open_container(call, 'a', "{sv}");
    }
    if (r >= 0) {
        r = sd_bus_message_append(call, "{sv}", "handle_token", "s", m_token.c_str());
    }
    if (r >= 0 && step == Step::CreateSession) {
        r = sd_bus_message_append(call, "{sv}", "session_handle_token", "s", m_token.c_str());
    }
    if (r >= 0 && step == Step::SelectSources) {
        r = sd_bus_message_append(call, "{sv}{sv}", "types", "u", kSourceMonitor, "multiple", "b",
                                  1);
        if (r >= 0 && m_cursorEmbedded) {
            r = sd_bus_message_append(call, "{sv}", "cursor_mode", "u", kCursorEmbedded);
        }
    }
    if (r >= 0) {
        r = sd_bus_message_close_container(call);
    }
    if (r >= 0) {
        r = sd_bus_call_async(m_bus, &m_call, call, onRequestReply, this, Microseconds(kStepLimit));
    }
    sd_bus_message_unref(call);
    if (r < 0) {
        fail(std::string("screen-cast portal, ") + method + ": " + std::strerror(-r));
        return;
    }
    limitStep();
}

int PortalSession::onRequestReply(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* self = static_cast<PortalSession*>(data);
    self->m_call = sd_bus_slot_unref(self->m_call);
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        self->m_request.clear();
        self->fail("the screen-cast portal failed: " + self->errorOf(reply));
        return 0;
    }
    const char* handle = nullptr;
    if (std::strcmp(sd_bus_message_get_signature(reply, 1), "o") != 0 ||
        sd_bus_message_read(reply, "o", &handle) <= 0) {
        self->failUnreadable();
        return 0;
    }
    // Portals older than the handle_token convention answer elsewhere.
    if (self->m_request != handle && self->m_response != nullptr) {
        self->m_request = handle;
        sd_bus_slot_unref(self->m_response);
        self->m_response = nullptr;
        sd_bus_match_signal_async(self->m_bus, &self->m_response, kPortal, handle,
                                  kRequestInterface, "Response", onResponse, nullptr, self);
    }
    if (self->m_step == Step::Start) {
        self->m_deadline.reset(); // the dialog is up: the user takes the time they need
    } else {
        self->limitStep();
    }
    return 0;
}

int PortalSession::onResponse(sd_bus_message* signal, void* data, sd_bus_error*) {
    auto* self = static_cast<PortalSession*>(data);
    if (self->m_state != State::Asking) {
        return 0;
    }
    self->m_response = sd_bus_slot_unref(self->m_response);
    self->m_request.clear();
    std::uint32_t response = 0;
    if (std::strcmp(sd_bus_message_get_signature(signal, 1), "ua{sv}") != 0 ||
        sd_bus_message_read(signal, "u", &response) <= 0) {
        self->failUnreadable();
        return 0;
    }
    if (response == kCancelled) {
        self->m_refusal = Refusal::User;
        self->fail("the request to share the screen was refused");
        return 0;
    }
    if (response != kGranted) {
        // KDE without OpenGL compositing answers 2 to every request.
        self->m_refusal = Refusal::Desktop;
        self->fail("the screen-cast portal ended the request (answer " + std::to_string(response) +
                   ")");
        return 0;
    }
    bool read = false;
    switch (self->m_step) {
    case Step::CreateSession:
        read = self->sessionCreated(signal);
        break;
    case Step::SelectSources:
        read = self->sourcesSelected(signal);
        break;
    case Step::Start:
        read = self->started(signal);
        break;
    case Step::Properties:
    case Step::PipeWireRemote:
        break;
    }
    if (!read) {
        self->failUnreadable();
    }
    return 0;
}

bool PortalSession::sessionCreated(sd_bus_message* results) {
    std::string session;
    const bool read = ForEachEntry(results, [&](const char* key) {
        if (std::strcmp(key, "session_handle") != 0) {
            return SkipValue(results);
        }
        // The portal sends it as a string, some versions as an object path.
        const char* path = nullptr;
        for (const char* type : {"s", "o"}) {
            if (EnterVariant(results, type)) {
                if (sd_bus_message_read_basic(results, *type, &path) <= 0 || path == nullptr ||
                    sd_bus_message_exit_container(results) < 0) {
                    return false;
                }
                session = path;
                return sd_bus_object_path_is_valid(path) > 0;
            }
        }
        return false;
    });
    if (!read || session.empty()) {
        return false;
    }
    m_session = session;
    sd_bus_match_signal_async(m_bus, &m_closed, kPortal, m_session.c_str(), kSessionInterface,
                              "Closed", onSessionClosed, nullptr, this);
    request("SelectSources", Step::SelectSources);
    return true;
}

bool PortalSession::sourcesSelected(sd_bus_message* results) {
    if (!ForEachEntry(results, [&](const char*) { return SkipValue(results); })) {
        return false;
    }
    request("Start", Step::Start);
    return true;
}

bool PortalSession::started(sd_bus_message* results) {
    std::vector<PortalStream> streams;
    const bool read = ForEachEntry(results, [&](const char* key) {
        if (std::strcmp(key, "streams") != 0) {
            return SkipValue(results);
        }
        if (!EnterVariant(results, "a(ua{sv})") ||
            sd_bus_message_enter_container(results, 'a', "(ua{sv})") <= 0) {
            return false;
        }
        int r = 0;
        while ((r = sd_bus_message_enter_container(results, 'r', "ua{sv}")) > 0) {
            PortalStream stream;
            bool isMonitor = true; // portals older than source_type offer monitors only
            if (!ReadStream(results, stream, isMonitor) ||
                sd_bus_message_exit_container(results) < 0) {
                return false;
            }
            if (isMonitor) {
                streams.push_back(stream);
            }
        }
        return r == 0 && sd_bus_message_exit_container(results) >= 0 &&
               sd_bus_message_exit_container(results) >= 0;
    });
    if (!read) {
        return false;
    }
    if (streams.empty()) {
        fail("the screen-cast portal granted no monitor");
        return true;
    }
    m_streams = std::move(streams);
    askRemote();
    return true;
}

void PortalSession::askRemote() {
    m_step = Step::PipeWireRemote;
    sd_bus_message* call = NewCall(m_bus, kPortalPath, kScreenCast, "OpenPipeWireRemote");
    int r = call != nullptr ? sd_bus_message_append(call, "oa{sv}", m_session.c_str(), 0) : -ENOMEM;
    if (r >= 0) {
        r = sd_bus_call_async(m_bus, &m_call, call, onRemoteReply, this, Microseconds(kStepLimit));
    }
    sd_bus_message_unref(call);
    if (r < 0) {
        fail(std::string("screen-cast portal, OpenPipeWireRemote: ") + std::strerror(-r));
        return;
    }
    limitStep();
}

int PortalSession::onRemoteReply(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* self = static_cast<PortalSession*>(data);
    self->m_call = sd_bus_slot_unref(self->m_call);
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        self->fail("screen-cast portal, OpenPipeWireRemote: " + self->errorOf(reply));
        return 0;
    }
    int fd = -1;
    if (std::strcmp(sd_bus_message_get_signature(reply, 1), "h") != 0 ||
        sd_bus_message_read(reply, "h", &fd) <= 0) {
        self->failUnreadable();
        return 0;
    }
    // The message owns its descriptor.
    self->m_remote = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (self->m_remote < 0) {
        self->fail(std::string("PipeWire connection: ") + std::strerror(errno));
        return 0;
    }
    self->m_deadline.reset();
    self->m_state = State::Granted;
    return 0;
}

int PortalSession::onSessionClosed(sd_bus_message*, void* data, sd_bus_error*) {
    auto* self = static_cast<PortalSession*>(data);
    if (self->m_ended.empty()) {
        self->m_ended = "the desktop ended the screen-cast session";
    }
    self->fail(self->m_ended);
    return 0;
}

int PortalSession::onPortalGone(sd_bus_message* signal, void* data, sd_bus_error*) {
    auto* self = static_cast<PortalSession*>(data);
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    // A portal the bus starts on our first call had no owner before it.
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) < 0 ||
        oldOwner == nullptr || *oldOwner == '\0') {
        return 0;
    }
    if (self->m_ended.empty()) {
        self->m_ended = "the screen-cast portal left the bus";
    }
    self->m_request.clear();
    self->fail(self->m_ended);
    return 0;
}

} // namespace kestrove::compositor::portal
