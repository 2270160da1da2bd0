// A stand-in for the desktop's ScreenCast portal front-end on the session
// bus, answering as one case of a faulty or silent portal would:
//
//   standin_screencast_portal CASE
//
// CASE "wrong:<key>" sends <key> with a type Kestrove must not read (see
// kWrongAnswers); "silent:<method>" never answers that step ("GetAll" never
// replies; "CreateSession" and "Start" reply but send no Response, as a
// dialog left open does); "refuse:<n>" answers Start with response n (1: the
// user cancelled; 2: the desktop could not, as KDE without OpenGL
// compositing answers every request). Prints "parent <window>" when Start names its
// parent window and "withdrawn" when a request is closed, one line each.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";

struct Portal {
    sd_bus* bus = nullptr;
    std::string wrong;    // the key sent with a wrong type
    std::string silent;   // the step never answered
    unsigned refusal = 0; // Start's response, 0: granted
    unsigned sessions = 0;
};

Portal g_portal;

bool Wrong(const char* key) {
    return g_portal.wrong == key;
}

int Fail(const char* what, int r) {
    std::fprintf(stderr, "stand-in portal: %s: %s\n", what, std::strerror(-r));
    return 1;
}

// The request object's path, from the caller's name and its handle_token.
std::string RequestPath(sd_bus_message* call, const std::string& token) {
    std::string path = "/org/freedesktop/portal/desktop/request/";
    for (const char* c = sd_bus_message_get_sender(call) + 1; *c != '\0'; ++c) {
        path += *c == '.' ? '_' : *c;
    }
    return path + "/" + token;
}

// Reads the handle_token out of the options at the message's read position.
std::string HandleToken(sd_bus_message* call) {
    std::string token;
    sd_bus_message_enter_container(call, 'a', "{sv}");
    while (sd_bus_message_enter_container(call, 'e', "sv") > 0) {
        const char* key = nullptr;
        sd_bus_message_read(call, "s", &key);
        if (std::strcmp(key, "handle_token") == 0) {
            const char* value = nullptr;
            sd_bus_message_read(call, "v", "s", &value);
            token = value;
        } else {
            sd_bus_message_skip(call, "v");
        }
        sd_bus_message_exit_container(call);
    }
    sd_bus_message_exit_container(call);
    return token;
}

// The results of each request, with the case's wrong value where it asks.
int AppendResults(sd_bus_message* m, const char* method) {
    sd_bus_message_open_container(m, 'a', "{sv}");
    if (std::strcmp(method, "CreateSession") == 0) {
        const std::string session = "/org/freedesktop/portal/desktop/session/standin/s" +
                                    std::to_string(++g_portal.sessions);
        if (Wrong("session_handle:u")) {
            sd_bus_message_append(m, "{sv}", "session_handle", "u", 7u);
        } else if (Wrong("session_handle:t")) {
            sd_bus_message_append(m, "{sv}", "session_handle", "t", std::uint64_t{0xdeadbeef});
        } else if (Wrong("session_handle:as")) {
            sd_bus_message_append(m, "{sv}", "session_handle", "as", 2, "a", "b");
        } else {
            sd_bus_message_append(m, "{sv}", "session_handle", "s", session.c_str());
        }
    } else if (std::strcmp(method, "Start") == 0) {
        if (Wrong("streams:s")) {
            sd_bus_message_append(m, "{sv}", "streams", "s", "monitor");
        } else {
            sd_bus_message_open_container(m, 'e', "sv");
            sd_bus_message_append(m, "s", "streams");
            sd_bus_message_open_container(m, 'v', "a(ua{sv})");
            sd_bus_message_open_container(m, 'a', "(ua{sv})");
            sd_bus_message_open_container(m, 'r', "ua{sv}");
            sd_bus_message_append(m, "u", 40u);
            sd_bus_message_open_container(m, 'a', "{sv}");
            if (Wrong("position:(uu)")) {
                sd_bus_message_append(m, "{sv}", "position", "(uu)", 0u, 0u);
            } else {
                sd_bus_message_append(m, "{sv}", "position", "(ii)", 0, 0);
            }
            if (Wrong("size:s")) {
                sd_bus_message_append(m, "{sv}", "size", "s", "1280x720");
            } else {
                sd_bus_message_append(m, "{sv}", "size", "(ii)", 1280, 720);
            }
            if (Wrong("source_type:s")) {
                sd_bus_message_append(m, "{sv}", "source_type", "s", "monitor");
            } else {
                sd_bus_message_append(m, "{sv}", "source_type", "u", 1u);
            }
            sd_bus_message_close_container(m);
            sd_bus_message_close_container(m);
            sd_bus_message_close_container(m);
            sd_bus_message_close_container(m);
            sd_bus_message_close_container(m);
        }
    }
    return sd_bus_message_close_container(m);
}

int Respond(const std::string& path, const char* method) {
    sd_bus_message* signal = nullptr;
    int r = sd_bus_message_new_signal(g_portal.bus, &signal, path.c_str(),
                                      "org.freedesktop.portal.Request", "Response");
    if (r < 0) {
        return r;
    }
    if (Wrong("response:s")) {
        sd_bus_message_append(signal, "s", "granted");
    } else {
        sd_bus_message_append(signal, "u",
                              std::strcmp(method, "Start") == 0 ? g_portal.refusal : 0u);
    }
    AppendResults(signal, method);
    r = sd_bus_send(g_portal.bus, signal, nullptr);
    sd_bus_message_unref(signal);
    return r;
}

int OnRequestClose(sd_bus_message* call, void*, sd_bus_error*) {
    std::printf("withdrawn\n");
    std::fflush(stdout);
    return sd_bus_reply_method_return(call, "");
}

int OnRequest(sd_bus_message* call, const char* method) {
    if (std::strcmp(method, "CreateSession") != 0) {
        const char* session = nullptr;
        sd_bus_message_read(call, "o", &session);
    }
    if (std::strcmp(method, "Start") == 0) {
        const char* parent = nullptr;
        sd_bus_message_read(call, "s", &parent);
        std::printf("parent %s\n", parent);
        std::fflush(stdout);
    }
    const std::string path = RequestPath(call, HandleToken(call));
    // The request object, so that a caller can withdraw it.
    sd_bus_add_object(
        g_portal.bus, nullptr, path.c_str(),
        [](sd_bus_message* m, void*, sd_bus_error* error) {
            if (sd_bus_message_is_method_call(m, "org.freedesktop.portal.Request", "Close")) {
                return OnRequestClose(m, nullptr, error);
            }
            return 0;
        },
        nullptr);
    int r = Wrong("reply:s") ? sd_bus_reply_method_return(call, "s", path.c_str())
                             : sd_bus_reply_method_return(call, "o", path.c_str());
    if (r < 0 || g_portal.silent == method) {
        return r;
    }
    return Respond(path, method);
}

int OnPortal(sd_bus_message* call, void*, sd_bus_error*) {
    if (sd_bus_message_is_method_call(call, "org.freedesktop.DBus.Properties", "GetAll")) {
        if (g_portal.silent == "GetAll") {
            return 1; // taken, never answered
        }
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(call, &reply);
        if (Wrong("AvailableSourceTypes:s")) {
            sd_bus_message_append(reply, "a{sv}", 2, "AvailableSourceTypes", "s", "monitor",
                                  "AvailableCursorModes", "u", 2u);
        } else {
            sd_bus_message_append(reply, "a{sv}", 2, "AvailableSourceTypes", "u", 1u,
                                  "AvailableCursorModes", "u", 2u);
        }
        const int r = sd_bus_send(g_portal.bus, reply, nullptr);
        sd_bus_message_unref(reply);
        return r < 0 ? r : 1;
    }
    for (const char* method : {"CreateSession", "SelectSources", "Start"}) {
        if (sd_bus_message_is_method_call(call, kScreenCast, method)) {
            const int r = OnRequest(call, method);
            return r < 0 ? r : 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: standin_screencast_portal wrong:<key>|silent:<step>|refuse:<n>\n");
        return 2;
    }
    const std::string kase = argv[1];
    if (kase.rfind("wrong:", 0) == 0) {
        g_portal.wrong = kase.substr(6);
    } else if (kase.rfind("silent:", 0) == 0) {
        g_portal.silent = kase.substr(7);
    } else if (kase == "refuse:1" || kase == "refuse:2") {
        g_portal.refusal = static_cast<unsigned>(kase.back() - '0');
    } else {
        std::fprintf(stderr, "stand-in portal: unknown case %s\n", argv[1]);
        return 2;
    }
    int r = sd_bus_open_user(&g_portal.bus);
    if (r < 0) {
        return Fail("session bus", r);
    }
    if ((r = sd_bus_add_object(g_portal.bus, nullptr, kPortalPath, OnPortal, nullptr)) < 0) {
        return Fail("portal object", r);
    }
    if ((r = sd_bus_request_name(g_portal.bus, kPortal, SD_BUS_NAME_REPLACE_EXISTING)) < 0) {
        return Fail("portal name", r);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        r = sd_bus_process(g_portal.bus, nullptr);
        if (r < 0) {
            return Fail("session bus", r);
        }
        if (r == 0 && (r = sd_bus_wait(g_portal.bus, UINT64_MAX)) < 0) {
            return Fail("session bus", r);
        }
    }
}
