// The one stand-in of the portal test chain: the desktop's ScreenCast back-end
// that would ask the user. (Where GNOME's own dialog can answer, the tests
// click it instead: gnome_chain.sh.) It grants every monitor without asking
// (with --unplaced it sends each stream's size and no position, as KDE's
// back-end does) and records them
// through mutter's own ScreenCast interface, as GNOME's back-end does. With
// --unpairable it grants the first monitor only, without a position and with
// half its width: one stream of two monitors that no rule can pair.
// SIGUSR1 stops every recording, as the desktop's "stop sharing" button does.
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr const char* kMutter = "org.gnome.Mutter.ScreenCast";
constexpr const char* kMutterSession = "org.gnome.Mutter.ScreenCast.Session";
constexpr const char* kMutterStream = "org.gnome.Mutter.ScreenCast.Stream";
constexpr const char* kSessionInterface = "org.freedesktop.impl.portal.Session";

// Portal answers.
constexpr unsigned kGranted = 0;
constexpr unsigned kFailed = 2;

constexpr unsigned kSourceMonitor = 1;
constexpr unsigned kCursorEmbedded = 2;

struct Stream {
    std::string path;
    sd_bus_slot* added = nullptr;
    unsigned node = 0;
    bool hasNode = false;
    int x = 0, y = 0, width = 0, height = 0;
};

struct Session {
    std::string portalPath;
    std::string mutterPath;
    unsigned cursorMode = kCursorEmbedded;
    std::vector<Stream> streams;
    sd_bus_message* pendingStart = nullptr; // answered once every stream has its node
    sd_bus_slot* object = nullptr;
    sd_bus_slot* closedMatch = nullptr;
};

// How the granted streams are described.
enum class Grant {
    Placed,     // position and size, as GNOME's back-end sends them
    Unplaced,   // a size and no position, as KDE's back-end sends them
    Unpairable, // the first monitor only, unplaced, its width halved
};

struct Backend {
    sd_bus* bus = nullptr;
    Grant grant = Grant::Placed;
    std::map<std::string, std::unique_ptr<Session>> sessions; // by portal session path
};

Backend g_backend;

void Fail(const char* what, int r) {
    std::fprintf(stderr, "screencast back-end: %s: %s\n", what, std::strerror(-r));
    std::exit(1);
}

// Connectors of the logical monitors, from mutter's display configuration.
int MonitorConnectors(std::vector<std::string>& connectors, sd_bus_error* error) {
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(g_backend.bus, "org.gnome.Mutter.DisplayConfig",
                               "/org/gnome/Mutter/DisplayConfig", "org.gnome.Mutter.DisplayConfig",
                               "GetCurrentState", error, &reply, "");
    if (r < 0) {
        return r;
    }
    std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)> hold(reply,
                                                                          sd_bus_message_unref);
    if ((r = sd_bus_message_skip(reply, "ua((ssss)a(siiddada{sv})a{sv})")) < 0 ||
        (r = sd_bus_message_enter_container(reply, 'a', "(iiduba(ssss)a{sv})")) < 0) {
        return r;
    }
    while ((r = sd_bus_message_enter_container(reply, 'r', "iiduba(ssss)a{sv}")) > 0) {
        if ((r = sd_bus_message_skip(reply, "iidub")) < 0 ||
            (r = sd_bus_message_enter_container(reply, 'a', "(ssss)")) < 0) {
            return r;
        }
        const char* connector = nullptr;
        if ((r = sd_bus_message_read(reply, "(ssss)", &connector, nullptr, nullptr, nullptr)) < 0) {
            return r;
        }
        connectors.emplace_back(connector);
        if ((r = sd_bus_message_skip(reply, "a(ssss)")) < 0 ||
            (r = sd_bus_message_exit_container(reply)) < 0 ||
            (r = sd_bus_message_skip(reply, "a{sv}")) < 0 ||
            (r = sd_bus_message_exit_container(reply)) < 0) {
            return r;
        }
    }
    return r;
}

// Position and size of a mutter stream, from its Parameters property.
int ReadStreamGeometry(Stream& stream) {
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_get_property(g_backend.bus, kMutter, stream.path.c_str(), kMutterStream,
                                "Parameters", &error, &reply, "a{sv}");
    sd_bus_error_free(&error);
    if (r < 0) {
        return r;
    }
    std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)> hold(reply,
                                                                          sd_bus_message_unref);
    // sd_bus_get_property() has entered the variant already.
    if ((r = sd_bus_message_enter_container(reply, 'a', "{sv}")) < 0) {
        return r;
    }
    while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(reply, "s", &key)) < 0) {
            return r;
        }
        if (std::strcmp(key, "position") == 0) {
            r = sd_bus_message_read(reply, "v", "(ii)", &stream.x, &stream.y);
        } else if (std::strcmp(key, "size") == 0) {
            r = sd_bus_message_read(reply, "v", "(ii)", &stream.width, &stream.height);
        } else {
            r = sd_bus_message_skip(reply, "v");
        }
        if (r < 0 || (r = sd_bus_message_exit_container(reply)) < 0) {
            return r;
        }
    }
    return r;
}

int ReplyEmpty(sd_bus_message* call, unsigned response) {
    return sd_bus_reply_method_return(call, "ua{sv}", response, 0);
}

void AnswerStart(Session& session) {
    sd_bus_message* call = session.pendingStart;
    session.pendingStart = nullptr;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(call, &reply);
    if (r >= 0) {
        r = sd_bus_message_append(reply, "u", kGranted);
    }
    if (r >= 0) {
        r = sd_bus_message_open_container(reply, 'a', "{sv}");
    }
    if (r >= 0) {
        r = sd_bus_message_open_container(reply, 'e', "sv");
    }
    if (r >= 0) {
        r = sd_bus_message_append(reply, "s", "streams");
    }
    if (r >= 0) {
        r = sd_bus_message_open_container(reply, 'v', "a(ua{sv})");
    }
    if (r >= 0) {
        r = sd_bus_message_open_container(reply, 'a', "(ua{sv})");
    }
    for (const Stream& stream : session.streams) {
        if (r >= 0 && g_backend.grant != Grant::Placed) {
            const int width =
                g_backend.grant == Grant::Unpairable ? stream.width / 2 : stream.width;
            r = sd_bus_message_append(reply, "(ua{sv})", stream.node, 2, "size", "(ii)", width,
                                      stream.height, "source_type", "u", kSourceMonitor);
        } else if (r >= 0) {
            r = sd_bus_message_append(reply, "(ua{sv})", stream.node, 3, "position", "(ii)",
                                      stream.x, stream.y, "size", "(ii)", stream.width,
                                      stream.height, "source_type", "u", kSourceMonitor);
        }
    }
    for (int i = 0; i < 4 && r >= 0; ++i) {
        r = sd_bus_message_close_container(reply);
    }
    if (r >= 0) {
        r = sd_bus_send(nullptr, reply, nullptr);
    }
    if (r < 0) {
        ReplyEmpty(call, kFailed);
    }
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
}

int OnStreamAdded(sd_bus_message* message, void* userdata, sd_bus_error*) {
    auto* session = static_cast<Session*>(userdata);
    for (Stream& stream : session->streams) {
        if (stream.path != sd_bus_message_get_path(message)) {
            continue;
        }
        if (sd_bus_message_read(message, "u", &stream.node) < 0 || ReadStreamGeometry(stream) < 0) {
            if (session->pendingStart) {
                ReplyEmpty(session->pendingStart, kFailed);
                session->pendingStart = sd_bus_message_unref(session->pendingStart);
            }
            return 0;
        }
        stream.hasNode = true;
    }
    for (const Stream& stream : session->streams) {
        if (!stream.hasNode) {
            return 0;
        }
    }
    if (session->pendingStart) {
        AnswerStart(*session);
    }
    return 0;
}

void Forget(const std::string& portalPath) {
    auto found = g_backend.sessions.find(portalPath);
    if (found == g_backend.sessions.end()) {
        return;
    }
    Session& session = *found->second;
    for (Stream& stream : session.streams) {
        sd_bus_slot_unref(stream.added);
    }
    sd_bus_slot_unref(session.object);
    sd_bus_slot_unref(session.closedMatch);
    if (session.pendingStart) {
        ReplyEmpty(session.pendingStart, kFailed);
        sd_bus_message_unref(session.pendingStart);
    }
    g_backend.sessions.erase(found);
}

// Mutter ended the recording (stopped, or a monitor went away): the portal
// session ends with it.
int OnMutterSessionClosed(sd_bus_message*, void* userdata, sd_bus_error*) {
    std::string portalPath = static_cast<Session*>(userdata)->portalPath;
    sd_bus_emit_signal(g_backend.bus, portalPath.c_str(), kSessionInterface, "Closed", "");
    Forget(portalPath);
    return 0;
}

int OnSessionClose(sd_bus_message* call, void* userdata, sd_bus_error*) {
    auto* session = static_cast<Session*>(userdata);
    sd_bus_call_method(g_backend.bus, kMutter, session->mutterPath.c_str(), kMutterSession, "Stop",
                       nullptr, nullptr, "");
    std::string portalPath = session->portalPath;
    Forget(portalPath);
    return sd_bus_reply_method_return(call, "");
}

const sd_bus_vtable kSessionVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Close", "", "", OnSessionClose, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Closed", "", 0),
    SD_BUS_VTABLE_END,
};

Session* SessionOf(sd_bus_message* call, sd_bus_error* error) {
    const char* sessionPath = nullptr;
    if (sd_bus_message_read(call, "oo", nullptr, &sessionPath) < 0) {
        return nullptr;
    }
    auto found = g_backend.sessions.find(sessionPath);
    if (found == g_backend.sessions.end()) {
        sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such session");
        return nullptr;
    }
    return found->second.get();
}

int OnCreateSession(sd_bus_message* call, void*, sd_bus_error* error) {
    const char* sessionPath = nullptr;
    int r = sd_bus_message_read(call, "oo", nullptr, &sessionPath);
    if (r < 0) {
        return r;
    }
    sd_bus_message* reply = nullptr;
    r = sd_bus_call_method(g_backend.bus, kMutter, "/org/gnome/Mutter/ScreenCast", kMutter,
                           "CreateSession", error, &reply, "a{sv}", 0);
    if (r < 0) {
        return r;
    }
    const char* mutterPath = nullptr;
    r = sd_bus_message_read(reply, "o", &mutterPath);
    auto session = std::make_unique<Session>();
    session->portalPath = sessionPath;
    if (r >= 0) {
        session->mutterPath = mutterPath;
    }
    sd_bus_message_unref(reply);
    if (r < 0) {
        return r;
    }
    if ((r = sd_bus_add_object_vtable(g_backend.bus, &session->object, sessionPath,
                                      kSessionInterface, kSessionVtable, session.get())) < 0 ||
        (r = sd_bus_match_signal(g_backend.bus, &session->closedMatch, kMutter,
                                 session->mutterPath.c_str(), kMutterSession, "Closed",
                                 OnMutterSessionClosed, session.get())) < 0) {
        return r;
    }
    g_backend.sessions[sessionPath] = std::move(session);
    return ReplyEmpty(call, kGranted);
}

int OnSelectSources(sd_bus_message* call, void*, sd_bus_error* error) {
    Session* session = SessionOf(call, error);
    if (!session) {
        return sd_bus_error_is_set(error) ? -EINVAL : -EBADMSG;
    }
    int r = sd_bus_message_skip(call, "s");
    if (r < 0 || (r = sd_bus_message_enter_container(call, 'a', "{sv}")) < 0) {
        return r;
    }
    while ((r = sd_bus_message_enter_container(call, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(call, "s", &key)) < 0) {
            return r;
        }
        if (std::strcmp(key, "cursor_mode") == 0) {
            r = sd_bus_message_read(call, "v", "u", &session->cursorMode);
        } else {
            r = sd_bus_message_skip(call, "v");
        }
        if (r < 0 || (r = sd_bus_message_exit_container(call)) < 0) {
            return r;
        }
    }
    return ReplyEmpty(call, kGranted);
}

int OnStart(sd_bus_message* call, void*, sd_bus_error* error) {
    Session* session = SessionOf(call, error);
    if (!session) {
        return sd_bus_error_is_set(error) ? -EINVAL : -EBADMSG;
    }
    // One line per dialog the user would have seen.
    std::printf("asked\n");
    std::fflush(stdout);
    std::vector<std::string> connectors;
    int r = MonitorConnectors(connectors, error);
    if (r < 0) {
        return r;
    }
    if (g_backend.grant == Grant::Unpairable) {
        connectors.resize(std::min<std::size_t>(connectors.size(), 1));
    }
    // Mutter's cursor modes: 0 hidden, 1 embedded, 2 metadata; the portal's
    // are the bits 1, 2 and 4.
    unsigned mutterCursor = session->cursorMode == 4 ? 2 : session->cursorMode == 1 ? 0 : 1;
    for (const std::string& connector : connectors) {
        sd_bus_message* reply = nullptr;
        r = sd_bus_call_method(g_backend.bus, kMutter, session->mutterPath.c_str(), kMutterSession,
                               "RecordMonitor", error, &reply, "sa{sv}", connector.c_str(), 1,
                               "cursor-mode", "u", mutterCursor);
        if (r < 0) {
            return r;
        }
        const char* streamPath = nullptr;
        r = sd_bus_message_read(reply, "o", &streamPath);
        if (r >= 0) {
            session->streams.push_back(Stream{.path = streamPath});
        }
        sd_bus_message_unref(reply);
        if (r < 0) {
            return r;
        }
        Stream& stream = session->streams.back();
        if ((r = sd_bus_match_signal(g_backend.bus, &stream.added, kMutter, stream.path.c_str(),
                                     kMutterStream, "PipeWireStreamAdded", OnStreamAdded,
                                     session)) < 0) {
            return r;
        }
    }
    session->pendingStart = sd_bus_message_ref(call);
    r = sd_bus_call_method(g_backend.bus, kMutter, session->mutterPath.c_str(), kMutterSession,
                           "Start", error, nullptr, "");
    if (r < 0) {
        session->pendingStart = sd_bus_message_unref(session->pendingStart);
    }
    return r < 0 ? r : 1;
}

int PropertyU(sd_bus* bus, const char*, const char*, const char* property, sd_bus_message* reply,
              void*, sd_bus_error*) {
    (void)bus;
    unsigned value = std::strcmp(property, "AvailableSourceTypes") == 0   ? kSourceMonitor
                     : std::strcmp(property, "AvailableCursorModes") == 0 ? 1 | 2 | 4
                                                                          : 4;
    return sd_bus_message_append(reply, "u", value);
}

const sd_bus_vtable kScreenCastVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("CreateSession", "oosa{sv}", "ua{sv}", OnCreateSession,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SelectSources", "oosa{sv}", "ua{sv}", OnSelectSources,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Start", "oossa{sv}", "ua{sv}", OnStart, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("AvailableSourceTypes", "u", PropertyU, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AvailableCursorModes", "u", PropertyU, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("version", "u", PropertyU, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

void StopAll() {
    std::vector<std::string> mutterPaths;
    for (const auto& [path, session] : g_backend.sessions) {
        mutterPaths.push_back(session->mutterPath);
    }
    for (const std::string& path : mutterPaths) {
        sd_bus_call_method(g_backend.bus, kMutter, path.c_str(), kMutterSession, "Stop", nullptr,
                           nullptr, "");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s BUS-NAME [--unplaced|--unpairable]\n", argv[0]);
        return 2;
    }
    if (argc > 2) {
        if (std::strcmp(argv[2], "--unplaced") == 0) {
            g_backend.grant = Grant::Unplaced;
        } else if (std::strcmp(argv[2], "--unpairable") == 0) {
            g_backend.grant = Grant::Unpairable;
        } else {
            std::fprintf(stderr, "screencast back-end: unknown mode %s\n", argv[2]);
            return 2;
        }
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGUSR1);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    int r = sd_bus_open_user(&g_backend.bus);
    if (r < 0) {
        Fail("session bus", r);
    }
    if ((r = sd_bus_add_object_vtable(g_backend.bus, nullptr, "/org/freedesktop/portal/desktop",
                                      "org.freedesktop.impl.portal.ScreenCast", kScreenCastVtable,
                                      nullptr)) < 0) {
        Fail("export", r);
    }
    if ((r = sd_bus_request_name(g_backend.bus, argv[1], 0)) < 0) {
        Fail("bus name", r);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        while ((r = sd_bus_process(g_backend.bus, nullptr)) > 0) {
        }
        if (r < 0) {
            Fail("bus", r);
        }
        pollfd waits[2] = {
            {sd_bus_get_fd(g_backend.bus), short(sd_bus_get_events(g_backend.bus)), 0},
            {signalFd, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 && errno != EINTR) {
            Fail("poll", -errno);
        }
        if (waits[1].revents & POLLIN) {
            signalfd_siginfo info;
            if (read(signalFd, &info, sizeof info) == sizeof info) {
                StopAll();
            }
        }
    }
}
