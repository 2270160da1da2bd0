#include "platform/compositor/portal/portal_frame_capture.h"

#include "platform/compositor/portal/pipewire_frames.h"
#include "platform/compositor/portal/portal_session.h"
#include "platform/compositor/stream_name.h"

#include <pipewire/pipewire.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <optional>

#include <unistd.h>

namespace kestrove::compositor::portal {
namespace {

// A stream's node, bound to read its media name: KWin names the output
// there (stream_name.h). Not in the registry's announcement; the portal's
// remote lets the node be bound all the same.
struct NodeName {
    pw_proxy* proxy = nullptr;
    spa_hook hook{};
    pw_node_events events{};
    std::string mediaName;
    ~NodeName() {
        if (proxy != nullptr) {
            spa_hook_remove(&hook);
            pw_proxy_destroy(proxy);
        }
    }
};

// One consent and what it granted: its streams reach PipeWire through a
// connection of their own.
struct Grant {
    explicit Grant(std::unique_ptr<PortalSession> asked) : session(std::move(asked)) {}
    ~Grant() {
        if (core != nullptr) {
            names.clear();
            if (registry != nullptr) {
                pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
            }
            spa_hook_remove(&hook);
            pw_core_disconnect(core);
        }
    }
    Grant(const Grant&) = delete;
    Grant& operator=(const Grant&) = delete;

    std::unique_ptr<PortalSession> session;
    pw_core* core = nullptr;
    spa_hook hook{};
    pw_core_events events{};
    std::string coreFailure;
    pw_registry* registry = nullptr;
    std::vector<std::unique_ptr<NodeName>> names; // of each stream
    int namesAsked = -1;                          // the sync that follows the names
    bool named = false;                           // the names are in, or will never be
    bool published = false;                       // its streams are among the outputs

    bool connected() const { return core != nullptr; }
    std::string ended() const { return !session->ended().empty() ? session->ended() : coreFailure; }
};

class PortalFrameCapture final : public FrameCapture {
public:
    PortalFrameCapture(sd_bus* bus, std::string parentWindow)
        : m_bus(bus), m_parentWindow(std::move(parentWindow)) {}

    ~PortalFrameCapture() override {
        m_frames.reset();
        m_grants.clear(); // withdraws a request still open: the dialog closes
        if (m_context != nullptr) {
            pw_context_destroy(m_context);
        }
        if (m_timer != nullptr) {
            pw_loop_destroy_source(m_loop, m_timer);
        }
        if (m_busSource != nullptr) {
            pw_loop_destroy_source(m_loop, m_busSource);
        }
        if (m_entered) {
            pw_loop_leave(m_loop);
        }
        if (m_loop != nullptr) {
            pw_loop_destroy(m_loop);
        }
        sd_bus_flush_close_unref(m_bus);
    }

    bool begin(std::string& reason) {
        pw_init(nullptr, nullptr);
        m_loop = pw_loop_new(nullptr);
        if (m_loop == nullptr) {
            reason = std::string("PipeWire loop: ") + std::strerror(errno);
            return false;
        }
        // The session bus and the portal's time limits join PipeWire's loop,
        // so that one descriptor covers all.
        m_busSource = pw_loop_add_io(
            m_loop, sd_bus_get_fd(m_bus), SPA_IO_IN, false,
            [](void* self, int, std::uint32_t) {
                static_cast<PortalFrameCapture*>(self)->processBus();
            },
            this);
        m_timer = pw_loop_add_timer(
            m_loop,
            [](void* self, std::uint64_t) {
                static_cast<PortalFrameCapture*>(self)->checkDeadlines();
            },
            this);
        m_context = pw_context_new(m_loop, nullptr, 0);
        if (m_busSource == nullptr || m_timer == nullptr || m_context == nullptr) {
            reason = std::string("PipeWire context: ") + std::strerror(errno);
            return false;
        }
        // Entered for good: PipeWire's data thread then queues its calls for
        // this thread (they wake waitDescriptor()) instead of making them
        // itself while this thread waits.
        pw_loop_enter(m_loop);
        m_entered = true;
        ask();
        return true;
    }

    int waitDescriptor() const override { return pw_loop_get_fd(m_loop); }

    void dispatch() override {
        pw_loop_iterate(m_loop, 0);
        connectGranted();
        publishNamed();
        armTimer();
    }

    // The bus is flushed as each step is sent; PipeWire sends as it is asked.
    void flush() override {}

    const std::vector<Output>& outputs() const override { return m_outputs; }

    bool select(std::size_t index) override {
        if (index >= m_outputs.size()) {
            return false;
        }
        // Another monitor of the stream shown (the whole workspace): the
        // same stream, its last frame again. Connected anew, it would show
        // nothing until the desktop changes, and KWin's frame for a stream
        // just connected is now and then lost on the way.
        if (m_frames && m_frames->failure().empty() && m_selected == &grantOf(index) &&
            m_nodes[index] == m_nodes[m_selectedIndex]) {
            m_selectedIndex = index;
            m_frames->again();
            return true;
        }
        m_frames.reset();
        m_selected = &grantOf(index);
        m_selectedIndex = index;
        m_freshStarts = 0;
        if (!m_selected->ended().empty()) {
            return true; // nothing to connect to: the capture stays as it ended
        }
        connectSelected();
        return true;
    }

    // The stream sends each change on its own; the newest is kept.
    void requestFrame() override {}

    const Frame* takeFrame() override {
        if (!m_frames) {
            return nullptr;
        }
        if (const Frame* frame = m_frames->take()) {
            m_freshStarts = 0;
            m_firstFrameDue.reset();
            return frame;
        }
        if (!m_frames->failure().empty()) {
            return nullptr;
        }
        if (m_frames->memoryless()) {
            startAfresh(true);
        } else if (m_firstFrameDue && PortalSession::Clock::now() >= *m_firstFrameDue) {
            startAfresh(false);
        }
        return nullptr;
    }

    // The first consent refused, or the selected monitor's share or stream
    // gone: the first reason given stays the reason.
    std::string failure() const override {
        if (!m_final.empty()) {
            return m_final;
        }
        const Grant& first = *m_grants.front();
        if (!m_busFailure.empty() && !first.connected()) {
            m_final = m_busFailure;
            return m_final;
        }
        if (first.session->state() == PortalSession::State::Failed && !first.connected()) {
            m_final = first.session->problem();
            return m_final;
        }
        std::string reason = m_frames ? m_frames->failure() : std::string();
        if (m_selected != nullptr && !m_selected->ended().empty()) {
            if (reason.empty()) {
                reason = m_selected->ended();
            }
            m_final = reason;
        }
        return reason;
    }

    bool asking() const override {
        if (!m_busFailure.empty()) {
            return false;
        }
        const Grant& last = *m_grants.back();
        return last.session->state() == PortalSession::State::Asking ||
               (last.session->state() == PortalSession::State::Granted &&
                (!last.connected() || (!last.published && last.coreFailure.empty())));
    }

    bool askForMore() override {
        if (asking() || !failure().empty() || !m_grants.front()->connected()) {
            return false;
        }
        ask();
        return true;
    }

    std::string declined() const override {
        const Grant& last = *m_grants.back();
        return m_grants.size() > 1 && !last.connected() ? last.session->problem() : std::string();
    }

    Refusal refusal() const override {
        const Grant& first = *m_grants.front();
        if (!first.connected()) {
            return first.session->refusal();
        }
        return declined().empty() ? Refusal::Nobody : m_grants.back()->session->refusal();
    }

private:
    // A stream just connected now and then shows nothing, and a still
    // desktop sends no more: KWin on a busy machine gives it buffers without
    // their memory (no descriptor, no size, while KWin paints into them), or
    // sends its first frame before the stream takes frames (a second reader
    // of the same node got it). Connected anew, it gets buffers of its own
    // and a first frame; a few times in a row, then buffers without memory
    // are a failure, and no frame is only a still desktop.
    void startAfresh(bool memoryless) {
        constexpr int kFreshStarts = 3;
        if (m_freshStarts == kFreshStarts) {
            m_firstFrameDue.reset();
            if (memoryless) {
                m_frames->giveUp(
                    "the screen-cast stream's buffers have no memory Kestrove can read");
            }
            return;
        }
        ++m_freshStarts;
        connectSelected();
    }

    void connectSelected() {
        // KWin and mutter send a stream's first frame within a second.
        constexpr std::chrono::seconds kFirstFrameWithin{2};
        m_frames = std::make_unique<PipeWireFrames>(m_selected->core, m_nodes[m_selectedIndex],
                                                    m_nextBufferId, m_damageHolds[m_selectedIndex]);
        m_firstFrameDue = PortalSession::Clock::now() + kFirstFrameWithin;
    }

    void ask() {
        m_grants.push_back(
            std::make_unique<Grant>(std::make_unique<PortalSession>(m_bus, m_parentWindow)));
        sd_bus_flush(m_bus);
        // Messages read while asking are in the bus's queue already; its
        // descriptor will not tell of those.
        processBus();
        armTimer();
    }

    void processBus() {
        int r = 0;
        while ((r = sd_bus_process(m_bus, nullptr)) > 0) {
        }
        sd_bus_flush(m_bus);
        if (r < 0 && m_busFailure.empty()) {
            m_busFailure = std::string("session bus: ") + std::strerror(-r);
        }
    }

    void checkDeadlines() {
        const auto now = PortalSession::Clock::now();
        for (const auto& grant : m_grants) {
            grant->session->checkDeadline(now);
        }
    }

    // The next time limit of a step awaited, or none.
    void armTimer() {
        std::optional<PortalSession::Clock::time_point> next = m_firstFrameDue;
        for (const auto& grant : m_grants) {
            if (const auto deadline = grant->session->deadline();
                deadline && (!next || *deadline < *next)) {
                next = deadline;
            }
        }
        timespec value{};
        if (next) {
            // steady_clock is CLOCK_MONOTONIC, as PipeWire's timers are.
            const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(
                next->time_since_epoch() + std::chrono::milliseconds{1});
            value.tv_sec = static_cast<time_t>(since.count() / 1'000'000'000);
            value.tv_nsec = static_cast<long>(since.count() % 1'000'000'000);
        }
        timespec interval{};
        pw_loop_update_timer(m_loop, m_timer, &value, &interval, true);
    }

    // Connects the streams of a consent just granted to PipeWire.
    void connectGranted() {
        for (const auto& grant : m_grants) {
            if (grant->connected() || grant->session->state() != PortalSession::State::Granted) {
                continue;
            }
            const int fd = grant->session->takePipeWireRemote();
            grant->core = fd >= 0 ? pw_context_connect_fd(m_context, fd, nullptr, 0) : nullptr;
            if (grant->core == nullptr) {
                grant->coreFailure = std::string("PipeWire connection: ") + std::strerror(errno);
                continue;
            }
            grant->events.version = PW_VERSION_CORE_EVENTS;
            grant->events.error = [](void* data, std::uint32_t id, int, int res,
                                     const char* message) {
                auto* owner = static_cast<Grant*>(data);
                if (id == PW_ID_CORE && owner->coreFailure.empty()) {
                    owner->coreFailure =
                        std::string("PipeWire: ") + (message ? message : std::strerror(-res));
                }
            };
            grant->events.done = [](void* data, std::uint32_t id, int seq) {
                auto* owner = static_cast<Grant*>(data);
                if (id == PW_ID_CORE && seq == owner->namesAsked) {
                    owner->named = true;
                }
            };
            pw_core_add_listener(grant->core, &grant->hook, &grant->events, grant.get());
            askNames(*grant);
        }
    }

    // Binds each stream's node; its info, names included, comes before the
    // answer to the sync that follows. A node that cannot be bound stays
    // unnamed.
    void askNames(Grant& grant) {
        grant.registry = pw_core_get_registry(grant.core, PW_VERSION_REGISTRY, 0);
        if (grant.registry == nullptr) {
            grant.named = true;
            return;
        }
        for (const PortalStream& stream : grant.session->streams()) {
            auto name = std::make_unique<NodeName>();
            name->proxy = static_cast<pw_proxy*>(pw_registry_bind(
                grant.registry, stream.node, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
            if (name->proxy != nullptr) {
                name->events.version = PW_VERSION_NODE_EVENTS;
                name->events.info = [](void* data, const pw_node_info* info) {
                    const char* value = info != nullptr && info->props != nullptr
                                            ? spa_dict_lookup(info->props, PW_KEY_MEDIA_NAME)
                                            : nullptr;
                    if (value != nullptr) {
                        static_cast<NodeName*>(data)->mediaName = value;
                    }
                };
                pw_proxy_add_object_listener(name->proxy, &name->hook, &name->events, name.get());
            }
            grant.names.push_back(std::move(name));
        }
        grant.namesAsked = pw_core_sync(grant.core, PW_ID_CORE, 0);
    }

    // A consent's streams become outputs once their names are in (or the
    // connection failed: then unnamed, and the stream says why it ended).
    void publishNamed() {
        for (const auto& grant : m_grants) {
            if (!grant->connected() || grant->published ||
                (!grant->named && grant->coreFailure.empty())) {
                continue;
            }
            grant->published = true;
            const std::vector<PortalStream>& streams = grant->session->streams();
            for (std::size_t i = 0; i < streams.size(); ++i) {
                Output output{.name = {}, .rect = streams[i].rect, .placed = streams[i].placed};
                bool damageHolds = true;
                if (i < grant->names.size()) {
                    DescribeByNodeName(grant->names[i]->mediaName, output);
                    damageHolds = !IsKwinRegion(grant->names[i]->mediaName);
                }
                m_outputs.push_back(std::move(output));
                m_nodes.push_back(streams[i].node);
                m_damageHolds.push_back(damageHolds);
                m_grantOf.push_back(grant.get());
            }
            // The names are read: the nodes need not stay bound.
            grant->names.clear();
        }
    }

    Grant& grantOf(std::size_t output) { return *m_grantOf[output]; }

    sd_bus* m_bus;
    std::string m_parentWindow;
    pw_loop* m_loop = nullptr;
    bool m_entered = false;
    spa_source* m_busSource = nullptr;
    spa_source* m_timer = nullptr;
    pw_context* m_context = nullptr;
    std::string m_busFailure;
    std::vector<std::unique_ptr<Grant>> m_grants; // the first consent, then one per ask for more
    std::vector<Output> m_outputs;
    std::vector<std::uint32_t> m_nodes; // of each output
    std::vector<bool> m_damageHolds;    // of each output's stream
    std::vector<Grant*> m_grantOf;      // of each output
    Grant* m_selected = nullptr;
    std::size_t m_selectedIndex = 0;
    int m_freshStarts = 0; // of the selected stream since its last frame
    // When the selected stream, just connected, should have sent a frame.
    std::optional<PortalSession::Clock::time_point> m_firstFrameDue;
    mutable std::string m_final;
    std::uint64_t m_nextBufferId = 1;
    std::unique_ptr<PipeWireFrames> m_frames;
};

} // namespace

std::unique_ptr<FrameCapture> OpenPortalCapture(const std::string& parentWindow,
                                                std::string& reason) {
    sd_bus* bus = nullptr;
    if (const int r = sd_bus_open_user(&bus); r < 0) {
        reason = std::string("no session bus: ") + std::strerror(-r);
        return nullptr;
    }
    auto capture = std::make_unique<PortalFrameCapture>(bus, parentWindow);
    if (!capture->begin(reason)) {
        return nullptr;
    }
    return capture;
}

} // namespace kestrove::compositor::portal
