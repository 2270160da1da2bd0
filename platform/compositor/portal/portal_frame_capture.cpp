#include "platform/compositor/portal/portal_frame_capture.h"

#include "platform/compositor/portal/pipewire_frames.h"
#include "platform/compositor/portal/portal_session.h"

#include <pipewire/pipewire.h>

#include <cstring>

#include <unistd.h>

namespace kestrove::compositor {
namespace {

class PortalFrameCapture final : public FrameCapture {
public:
    explicit PortalFrameCapture(std::unique_ptr<PortalSession> session)
        : m_session(std::move(session)) {
        for (const PortalStream& stream : m_session->streams())
            m_outputs.push_back(Output{.name = {}, .rect = stream.rect});
    }

    ~PortalFrameCapture() override {
        m_frames.reset();
        if (m_core)
            pw_core_disconnect(m_core);
        if (m_context)
            pw_context_destroy(m_context);
        if (m_busSource)
            pw_loop_destroy_source(m_loop, m_busSource);
        if (m_entered)
            pw_loop_leave(m_loop);
        if (m_loop)
            pw_loop_destroy(m_loop);
        m_session.reset();
    }

    bool connect(std::string& reason) {
        pw_init(nullptr, nullptr);
        m_loop = pw_loop_new(nullptr);
        if (!m_loop) {
            reason = std::string("PipeWire loop: ") + std::strerror(errno);
            return false;
        }
        // The session bus joins PipeWire's loop, so that one descriptor
        // covers both.
        m_busSource = pw_loop_add_io(
            m_loop, m_session->busDescriptor(), SPA_IO_IN, false,
            [](void* self, int, std::uint32_t) {
                static_cast<PortalFrameCapture*>(self)->m_session->dispatch();
            },
            this);
        m_context = pw_context_new(m_loop, nullptr, 0);
        if (!m_context) {
            reason = std::string("PipeWire context: ") + std::strerror(errno);
            return false;
        }
        int fd = m_session->openPipeWireRemote(reason);
        if (fd < 0)
            return false;
        // Entered for good: PipeWire's data thread then queues its calls for
        // this thread (they wake waitDescriptor()) instead of making them
        // itself while this thread waits.
        pw_loop_enter(m_loop);
        m_entered = true;
        m_core = pw_context_connect_fd(m_context, fd, nullptr, 0);
        if (!m_core) {
            reason = std::string("PipeWire connection: ") + std::strerror(errno);
            return false;
        }
        m_coreEvents.version = PW_VERSION_CORE_EVENTS;
        m_coreEvents.error = [](void* self, std::uint32_t id, int, int res, const char* message) {
            auto* capture = static_cast<PortalFrameCapture*>(self);
            if (id == PW_ID_CORE && capture->m_coreFailure.empty())
                capture->m_coreFailure =
                    std::string("PipeWire: ") + (message ? message : std::strerror(-res));
        };
        pw_core_add_listener(m_core, &m_coreHook, &m_coreEvents, this);
        // The bus may hold messages read during the calls above; its
        // descriptor will not tell of those.
        m_session->dispatch();
        return true;
    }

    int waitDescriptor() const override { return pw_loop_get_fd(m_loop); }

    void dispatch() override { pw_loop_iterate(m_loop, 0); }

    // PipeWire and the bus send as they are asked; nothing waits here.
    void flush() override {}

    const std::vector<Output>& outputs() const override { return m_outputs; }

    bool select(std::size_t index) override {
        if (index >= m_outputs.size())
            return false;
        if (ended())
            return true; // nothing to connect to: the capture stays as it ended
        m_frames.reset();
        m_frames = std::make_unique<PipeWireFrames>(m_core, m_session->streams()[index].node,
                                                    m_nextBufferId);
        return true;
    }

    // The stream sends each change on its own; the newest is kept.
    void requestFrame() override {}

    const Frame* takeFrame() override { return m_frames ? m_frames->take() : nullptr; }

    // Once the session or the connection is gone, the first reason given
    // stays the reason, whichever monitor is asked for next.
    std::string failure() const override {
        if (!m_final.empty())
            return m_final;
        std::string reason = m_frames ? m_frames->failure() : std::string();
        if (ended()) {
            if (reason.empty())
                reason = !m_session->ended().empty() ? m_session->ended() : m_coreFailure;
            m_final = reason;
        }
        return reason;
    }

private:
    bool ended() const { return !m_session->ended().empty() || !m_coreFailure.empty(); }

    std::unique_ptr<PortalSession> m_session;
    std::vector<Output> m_outputs;
    pw_loop* m_loop = nullptr;
    bool m_entered = false;
    spa_source* m_busSource = nullptr;
    pw_context* m_context = nullptr;
    pw_core* m_core = nullptr;
    spa_hook m_coreHook{};
    pw_core_events m_coreEvents{};
    std::string m_coreFailure;
    mutable std::string m_final;
    std::uint64_t m_nextBufferId = 1;
    std::unique_ptr<PipeWireFrames> m_frames;
};

} // namespace

std::unique_ptr<FrameCapture> createPortalFrameCapture(std::string& reason) {
    std::unique_ptr<PortalSession> session = PortalSession::open(reason);
    if (!session)
        return nullptr;
    auto capture = std::make_unique<PortalFrameCapture>(std::move(session));
    if (!capture->connect(reason))
        return nullptr;
    return capture;
}

} // namespace kestrove::compositor
