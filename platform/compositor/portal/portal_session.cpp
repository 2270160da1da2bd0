#include "platform/compositor/portal/portal_session.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrove::compositor {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";
constexpr const char* kSessionInterface = "org.freedesktop.portal.Session";

constexpr std::uint32_t kSourceMonitor = 1;
constexpr std::uint32_t kCursorEmbedded = 2;

// The portal's answers to a request.
constexpr std::uint32_t kGranted = 0;
constexpr std::uint32_t kCancelled = 1;

using MessagePtr = std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)>;

MessagePtr hold(sd_bus_message* message) {
    return MessagePtr(message, sd_bus_message_unref);
}

std::string errorText(int r, const sd_bus_error& error) {
    if (sd_bus_error_is_set(&error))
        return error.message ? error.message : error.name;
    return std::strerror(-r);
}

// Calls `entry(key)` for each entry of an a{sv} at the message's read
// position, with the variant next to read; the callback reads or skips it.
template <typename Entry> int forEachEntry(sd_bus_message* message, Entry&& entry) {
    int r = sd_bus_message_enter_container(message, 'a', "{sv}");
    if (r < 0)
        return r;
    while ((r = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(message, "s", &key)) < 0 || (r = entry(key)) < 0 ||
            (r = sd_bus_message_exit_container(message)) < 0)
            return r;
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(message);
}

int readStream(sd_bus_message* message, PortalStream& stream) {
    int r = sd_bus_message_read(message, "u", &stream.node);
    if (r < 0)
        return r;
    int x = 0, y = 0, width = 0, height = 0;
    r = forEachEntry(message, [&](const char* key) {
        if (std::strcmp(key, "position") == 0)
            return sd_bus_message_read(message, "v", "(ii)", &x, &y);
        if (std::strcmp(key, "size") == 0)
            return sd_bus_message_read(message, "v", "(ii)", &width, &height);
        return sd_bus_message_skip(message, "v");
    });
    stream.rect = Rect{x, y, x + width, y + height};
    return r;
}

} // namespace

struct PortalSession::Answer {
    bool done = false;
    std::uint32_t response = 0;
    MessagePtr results = hold(nullptr); // the Response signal, read up to its results
};

std::unique_ptr<PortalSession> PortalSession::open(std::string& reason) {
    std::unique_ptr<PortalSession> session(new PortalSession);
    int r = sd_bus_open_user(&session->m_bus);
    if (r < 0) {
        reason = std::string("no session bus: ") + std::strerror(-r);
        return nullptr;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    std::uint32_t sources = 0;
    r = sd_bus_get_property_trivial(session->m_bus, kPortal, kPortalPath, kScreenCast,
                                    "AvailableSourceTypes", &error, 'u', &sources);
    if (r < 0) {
        reason = "no screen-cast portal on the session bus (" + errorText(r, error) + ")";
        sd_bus_error_free(&error);
        return nullptr;
    }
    if (!(sources & kSourceMonitor)) {
        reason = "the screen-cast portal offers no monitors";
        return nullptr;
    }
    std::uint32_t cursorModes = 0;
    if (sd_bus_get_property_trivial(session->m_bus, kPortal, kPortalPath, kScreenCast,
                                    "AvailableCursorModes", nullptr, 'u', &cursorModes) >= 0)
        session->m_cursorEmbedded = cursorModes & kCursorEmbedded;

    const char* unique = nullptr;
    if ((r = sd_bus_get_unique_name(session->m_bus, &unique)) < 0) {
        reason = std::string("session bus: ") + std::strerror(-r);
        return nullptr;
    }
    // Request objects live at a path the portal derives from our name, so
    // that we can listen for the answer before asking.
    session->m_handlePrefix = "/org/freedesktop/portal/desktop/request/";
    for (const char* c = unique + 1; *c; ++c)
        session->m_handlePrefix += *c == '.' ? '_' : *c;
    session->m_handlePrefix += '/';

    // The portal leaving the bus ends everything it handed out.
    std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',"
                                   "member='NameOwnerChanged',arg0='") +
                       kPortal + "',arg2=''";
    sd_bus_add_match(
        session->m_bus, &session->m_portalGone, rule.c_str(),
        [](sd_bus_message*, void* self, sd_bus_error*) {
            static_cast<PortalSession*>(self)->m_ended = "the screen-cast portal left the bus";
            return 0;
        },
        session.get());

    if (!session->createSession(reason) || !session->selectSources(reason) ||
        !session->start(reason))
        return nullptr;
    return session;
}

PortalSession::~PortalSession() {
    if (!m_session.empty() && m_ended.empty()) {
        sd_bus_message* call = nullptr;
        if (sd_bus_message_new_method_call(m_bus, &call, kPortal, m_session.c_str(),
                                           kSessionInterface, "Close") >= 0)
            sd_bus_send(m_bus, call, nullptr);
        sd_bus_message_unref(call);
    }
    sd_bus_slot_unref(m_closed);
    sd_bus_slot_unref(m_portalGone);
    sd_bus_flush_close_unref(m_bus);
}

bool PortalSession::request(const char* method, const Append& arguments, const Append& options,
                            Answer& answer, std::string& reason) {
    const std::string token =
        "kestrove" + std::to_string(getpid()) + "_" + std::to_string(++m_tokens);
    const std::string handle = m_handlePrefix + token;
    auto onResponse = [](sd_bus_message* message, void* target, sd_bus_error*) {
        auto* answer = static_cast<Answer*>(target);
        if (answer->done)
            return 0;
        answer->done = true;
        if (sd_bus_message_read(message, "u", &answer->response) < 0)
            answer->response = 2;
        answer->results = hold(sd_bus_message_ref(message));
        return 0;
    };
    sd_bus_slot* match = nullptr;
    int r = sd_bus_match_signal(m_bus, &match, kPortal, handle.c_str(),
                                "org.freedesktop.portal.Request", "Response", onResponse, &answer);
    std::unique_ptr<sd_bus_slot, decltype(&sd_bus_slot_unref)> matchSlot(match, sd_bus_slot_unref);

    sd_bus_message* call = nullptr;
    if (r >= 0)
        r = sd_bus_message_new_method_call(m_bus, &call, kPortal, kPortalPath, kScreenCast, method);
    MessagePtr callHolder = hold(call);
    if (r >= 0)
        r = arguments(call);
    if (r >= 0)
        r = sd_bus_message_open_container(call, 'a', "{sv}");
    if (r >= 0)
        r = sd_bus_message_append(call, "{sv}", "handle_token", "s", token.c_str());
    if (r >= 0)
        r = options(call);
    if (r >= 0)
        r = sd_bus_message_close_container(call);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (r >= 0)
        r = sd_bus_call(m_bus, call, 0, &error, &reply);
    MessagePtr replyHolder = hold(reply);
    if (r < 0) {
        reason = std::string("screen-cast portal, ") + method + ": " + errorText(r, error);
        sd_bus_error_free(&error);
        return false;
    }
    // Portals older than the handle_token convention answer elsewhere.
    const char* actual = nullptr;
    if (sd_bus_message_read(reply, "o", &actual) >= 0 && handle != actual) {
        sd_bus_slot* other = nullptr;
        sd_bus_match_signal(m_bus, &other, kPortal, actual, "org.freedesktop.portal.Request",
                            "Response", onResponse, &answer);
        matchSlot.reset(other);
    }
    // No time limit: the user may take a while to answer the dialog.
    while (!answer.done && m_ended.empty()) {
        r = sd_bus_process(m_bus, nullptr);
        if (r == 0)
            r = sd_bus_wait(m_bus, UINT64_MAX);
        if (r < 0) {
            reason = std::string("session bus: ") + std::strerror(-r);
            return false;
        }
    }
    if (!answer.done) {
        reason = m_ended;
        return false;
    }
    if (answer.response == kCancelled) {
        reason = "the request to share the screen was refused";
        return false;
    }
    if (answer.response != kGranted) {
        reason = std::string("the screen-cast portal failed (") + method + ")";
        return false;
    }
    return true;
}

bool PortalSession::createSession(std::string& reason) {
    const std::string sessionToken = "kestrove" + std::to_string(getpid());
    Answer answer;
    if (!request(
            "CreateSession", [](sd_bus_message*) { return 0; },
            [&](sd_bus_message* m) {
                return sd_bus_message_append(m, "{sv}", "session_handle_token", "s",
                                             sessionToken.c_str());
            },
            answer, reason))
        return false;
    int r = forEachEntry(answer.results.get(), [&](const char* key) {
        if (std::strcmp(key, "session_handle") != 0)
            return sd_bus_message_skip(answer.results.get(), "v");
        const char* path = nullptr;
        // The portal sends it as a string, some versions as an object path.
        char type = 0;
        const char* contents = nullptr;
        int p = sd_bus_message_peek_type(answer.results.get(), &type, &contents);
        if (p < 0)
            return p;
        p = sd_bus_message_read(answer.results.get(), "v", contents, &path);
        if (p >= 0)
            m_session = path;
        return p;
    });
    if (r < 0 || m_session.empty()) {
        reason = "the screen-cast portal opened no session";
        return false;
    }
    auto onClosed = [](sd_bus_message*, void* self, sd_bus_error*) {
        auto* session = static_cast<PortalSession*>(self);
        if (session->m_ended.empty())
            session->m_ended = "the desktop ended the screen-cast session";
        return 0;
    };
    sd_bus_match_signal(m_bus, &m_closed, kPortal, m_session.c_str(), kSessionInterface, "Closed",
                        onClosed, this);
    return true;
}

bool PortalSession::selectSources(std::string& reason) {
    Answer answer;
    return request(
        "SelectSources",
        [&](sd_bus_message* m) { return sd_bus_message_append(m, "o", m_session.c_str()); },
        [&](sd_bus_message* m) {
            int r = sd_bus_message_append(m, "{sv}{sv}", "types", "u", kSourceMonitor, "multiple",
                                          "b", 1);
            if (r >= 0 && m_cursorEmbedded)
                r = sd_bus_message_append(m, "{sv}", "cursor_mode", "u", kCursorEmbedded);
            return r;
        },
        answer, reason);
}

bool PortalSession::start(std::string& reason) {
    Answer answer;
    if (!request(
            "Start",
            [&](sd_bus_message* m) {
                return sd_bus_message_append(m, "os", m_session.c_str(), "");
            },
            [](sd_bus_message*) { return 0; }, answer, reason))
        return false;
    sd_bus_message* results = answer.results.get();
    int r = forEachEntry(results, [&](const char* key) {
        if (std::strcmp(key, "streams") != 0)
            return sd_bus_message_skip(results, "v");
        int s = sd_bus_message_enter_container(results, 'v', "a(ua{sv})");
        if (s < 0 || (s = sd_bus_message_enter_container(results, 'a', "(ua{sv})")) < 0)
            return s;
        while ((s = sd_bus_message_enter_container(results, 'r', "ua{sv}")) > 0) {
            PortalStream stream;
            if ((s = readStream(results, stream)) < 0 ||
                (s = sd_bus_message_exit_container(results)) < 0)
                return s;
            m_streams.push_back(stream);
        }
        if (s < 0 || (s = sd_bus_message_exit_container(results)) < 0)
            return s;
        return sd_bus_message_exit_container(results);
    });
    if (r < 0 || m_streams.empty()) {
        reason = "the screen-cast portal granted no monitor";
        return false;
    }
    return true;
}

int PortalSession::openPipeWireRemote(std::string& reason) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(m_bus, kPortal, kPortalPath, kScreenCast, "OpenPipeWireRemote",
                               &error, &reply, "oa{sv}", m_session.c_str(), 0);
    MessagePtr replyHolder = hold(reply);
    int fd = -1;
    if (r >= 0)
        r = sd_bus_message_read(reply, "h", &fd);
    if (r < 0) {
        reason = "screen-cast portal, OpenPipeWireRemote: " + errorText(r, error);
        sd_bus_error_free(&error);
        return -1;
    }
    // The message owns its descriptor.
    int own = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (own < 0)
        reason = std::string("PipeWire connection: ") + std::strerror(errno);
    return own;
}

int PortalSession::busDescriptor() const {
    return sd_bus_get_fd(m_bus);
}

void PortalSession::dispatch() {
    int r;
    while ((r = sd_bus_process(m_bus, nullptr)) > 0) {
    }
    if (r < 0 && m_ended.empty())
        m_ended = std::string("session bus: ") + std::strerror(-r);
}

} // namespace kestrove::compositor
