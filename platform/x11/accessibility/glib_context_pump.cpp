#include "platform/x11/accessibility/glib_context_pump.h"

#include <glib.h>

#include <algorithm>
#include <chrono>

namespace kestrove::x11::a11y {

namespace {

// The loop waits for input only: a connection whose socket was full, and
// which waits to write, is tried again this soon.
constexpr auto kWriteRetry = std::chrono::milliseconds{10};

} // namespace

GlibContextPump::GlibContextPump() {
    g_main_context_acquire(g_main_context_default());
}

GlibContextPump::~GlibContextPump() {
    g_main_context_release(g_main_context_default());
}

GlibContextPump::Wait GlibContextPump::wait() const {
    // One prepare-query-check round: which descriptors the sources wait on,
    // and when the next timeout is due. Dispatching is left to run().
    GMainContext* context = g_main_context_default();
    gint priority = 0;
    bool ready = g_main_context_prepare(context, &priority) != FALSE;
    gint timeout = -1;
    std::vector<GPollFD> fds(8);
    gint count = g_main_context_query(context, priority, &timeout, fds.data(),
                                      static_cast<gint>(fds.size()));
    if (static_cast<std::size_t>(count) > fds.size()) {
        fds.resize(static_cast<std::size_t>(count));
        count = g_main_context_query(context, priority, &timeout, fds.data(), count);
    }
    fds.resize(static_cast<std::size_t>(count));
    ready = g_main_context_check(context, priority, fds.data(), count) != FALSE || ready;

    Wait result;
    bool writing = false;
    for (const GPollFD& fd : fds) {
        result.descriptors.push_back(fd.fd);
        writing = writing || (fd.events & G_IO_OUT) != 0;
    }
    const auto now = Clock::now();
    if (ready) {
        result.deadline = now;
    } else if (timeout >= 0) {
        result.deadline = now + std::chrono::milliseconds{timeout};
    }
    if (writing) {
        const auto retry = now + kWriteRetry;
        result.deadline = result.deadline ? std::min(*result.deadline, retry) : retry;
    }
    return result;
}

void GlibContextPump::run() {
    while (g_main_context_iteration(g_main_context_default(), FALSE)) {
    }
}

} // namespace kestrove::x11::a11y
