#include "platform/compositor/portal/pipewire_frames.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace kestrove::compositor {
namespace {

// Damage rectangles the producer may send per frame; more and it sends the
// whole frame.
constexpr std::uint32_t kDamageRegions = 16;

// Damage rectangles kept between two frames taken.
constexpr std::size_t kDamageKept = 64;

// The mirror refreshes every 50 ms.
constexpr std::uint32_t kMaxFramesPerSecond = 20;

std::uint32_t fourccOf(std::uint32_t videoFormat) {
    switch (videoFormat) {
    case SPA_VIDEO_FORMAT_BGRx:
        return kFormatXrgb8888;
    case SPA_VIDEO_FORMAT_BGRA:
        return kFormatArgb8888;
    default:
        return 0;
    }
}

// The formats we take: the two the X server reads as they are, any size.
const spa_pod* enumFormat(spa_pod_builder& b) {
    spa_pod_frame object, choice;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_prop(&b, SPA_FORMAT_mediaType, 0);
    spa_pod_builder_id(&b, SPA_MEDIA_TYPE_video);
    spa_pod_builder_prop(&b, SPA_FORMAT_mediaSubtype, 0);
    spa_pod_builder_id(&b, SPA_MEDIA_SUBTYPE_raw);

    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_format, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Enum, 0);
    spa_pod_builder_id(&b, SPA_VIDEO_FORMAT_BGRx); // the default
    spa_pod_builder_id(&b, SPA_VIDEO_FORMAT_BGRx);
    spa_pod_builder_id(&b, SPA_VIDEO_FORMAT_BGRA);
    spa_pod_builder_pop(&b, &choice);

    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_size, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Range, 0);
    spa_pod_builder_rectangle(&b, 1920, 1080);
    spa_pod_builder_rectangle(&b, 1, 1);
    spa_pod_builder_rectangle(&b, 16384, 16384);
    spa_pod_builder_pop(&b, &choice);

    // Variable rate (a still desktop sends nothing), at most as often as
    // the mirror refreshes: frames in between would never be shown, yet
    // cost the compositor a read-back each.
    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_framerate, 0);
    spa_pod_builder_fraction(&b, 0, 1);
    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_maxFramerate, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Range, 0);
    spa_pod_builder_fraction(&b, kMaxFramesPerSecond, 1);
    spa_pod_builder_fraction(&b, 1, 1);
    spa_pod_builder_fraction(&b, kMaxFramesPerSecond, 1);
    spa_pod_builder_pop(&b, &choice);
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object));
}

// Shared memory only: a memfd, or a pointer when the producer has nothing better.
const spa_pod* buffersParam(spa_pod_builder& b) {
    spa_pod_frame object, choice;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers);
    spa_pod_builder_prop(&b, SPA_PARAM_BUFFERS_dataType, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Flags, 0);
    spa_pod_builder_int(&b, (1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr));
    spa_pod_builder_pop(&b, &choice);
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object));
}

const spa_pod* metaParam(spa_pod_builder& b, std::uint32_t type, std::uint32_t size) {
    spa_pod_frame object;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta);
    spa_pod_builder_prop(&b, SPA_PARAM_META_type, 0);
    spa_pod_builder_id(&b, type);
    spa_pod_builder_prop(&b, SPA_PARAM_META_size, 0);
    spa_pod_builder_int(&b, static_cast<std::int32_t>(size));
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object));
}

Rect clipped(Rect r, int width, int height) {
    r.left = std::clamp(r.left, 0, width);
    r.right = std::clamp(r.right, 0, width);
    r.top = std::clamp(r.top, 0, height);
    r.bottom = std::clamp(r.bottom, 0, height);
    return r;
}

} // namespace

struct PipeWireFrames::Listener {
    spa_hook hook{};
    pw_stream_events events{};
};

// A memfd of our own that pointer-only buffers are copied into.
struct PipeWireFrames::OwnCopy {
    int fd = -1;
    std::size_t size = 0;
    void* map = MAP_FAILED;
    std::uint64_t id = 0;
    ~OwnCopy() {
        if (map != MAP_FAILED)
            munmap(map, size);
        if (fd >= 0)
            close(fd);
    }
};

PipeWireFrames::PipeWireFrames(pw_core* core, std::uint32_t node, std::uint64_t& nextBufferId)
    : m_listener(std::make_unique<Listener>()), m_nextBufferId(nextBufferId) {
    m_stream = pw_stream_new(core, "Kestrove",
                             pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                               "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!m_stream) {
        m_failure = std::string("PipeWire stream: ") + std::strerror(errno);
        return;
    }
    m_listener->events.version = PW_VERSION_STREAM_EVENTS;
    m_listener->events.state_changed = [](void* self, pw_stream_state, pw_stream_state state,
                                          const char* error) {
        static_cast<PipeWireFrames*>(self)->onStateChanged(state, error);
    };
    m_listener->events.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
        if (id == SPA_PARAM_Format)
            static_cast<PipeWireFrames*>(self)->onFormat(param);
    };
    m_listener->events.add_buffer = [](void* self, pw_buffer* buffer) {
        buffer->user_data =
            reinterpret_cast<void*>(static_cast<PipeWireFrames*>(self)->m_nextBufferId++);
    };
    m_listener->events.remove_buffer = [](void* data, pw_buffer* buffer) {
        // Gone with a new format or the stream's end: never queue it back.
        auto* self = static_cast<PipeWireFrames*>(data);
        if (self->m_pending == buffer)
            self->m_pending = nullptr;
        if (self->m_held == buffer)
            self->m_held = nullptr;
    };
    m_listener->events.process = [](void* self) {
        static_cast<PipeWireFrames*>(self)->onProcess();
    };
    pw_stream_add_listener(m_stream, &m_listener->hook, &m_listener->events, this);

    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[] = {enumFormat(b)};
    int r = pw_stream_connect(
        m_stream, PW_DIRECTION_INPUT, node,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_DONT_RECONNECT),
        params, 1);
    if (r < 0)
        m_failure = std::string("PipeWire stream: ") + std::strerror(-r);
}

PipeWireFrames::~PipeWireFrames() {
    if (!m_stream)
        return;
    spa_hook_remove(&m_listener->hook);
    pw_stream_destroy(m_stream);
}

void PipeWireFrames::onStateChanged(int state, const char* error) {
    if (state == PW_STREAM_STATE_ERROR)
        m_failure = std::string("the screen-cast stream failed: ") + (error ? error : "no reason");
    else if (state == PW_STREAM_STATE_UNCONNECTED && m_failure.empty())
        m_failure = "the screen-cast stream ended";
}

void PipeWireFrames::onFormat(const spa_pod* param) {
    if (!param) { // the producer took its format back: no frames until the next one
        m_format = 0;
        return;
    }
    spa_video_info_raw info{};
    if (spa_format_video_raw_parse(param, &info) < 0 || !fourccOf(info.format) ||
        info.size.width == 0 || info.size.height == 0) {
        pw_stream_set_error(m_stream, -EINVAL, "unsupported video format");
        return;
    }
    m_width = static_cast<int>(info.size.width);
    m_height = static_cast<int>(info.size.height);
    m_format = fourccOf(info.format);
    m_wholeFrame = true;

    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[] = {
        buffersParam(b),
        metaParam(b, SPA_META_Header, sizeof(spa_meta_header)),
        metaParam(b, SPA_META_VideoDamage, sizeof(spa_meta_region) * kDamageRegions),
    };
    pw_stream_update_params(m_stream, params, 3);
}

void PipeWireFrames::onProcess() {
    while (pw_buffer* buffer = pw_stream_dequeue_buffer(m_stream)) {
        const spa_buffer* spa = buffer->buffer;
        const auto* header = static_cast<const spa_meta_header*>(
            spa_buffer_find_meta_data(spa, SPA_META_Header, sizeof(spa_meta_header)));
        // Mutter sends buffers without a picture when only the cursor moved
        // and the cursor travels as metadata; there is none such here, as the
        // cursor is drawn in, but a producer may still send empty chunks.
        bool usable = spa->n_datas > 0 && spa->datas[0].chunk->size > 0 &&
                      !(spa->datas[0].chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) &&
                      !(header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED));
        if (!usable) {
            pw_stream_queue_buffer(m_stream, buffer);
            continue;
        }
        addDamage(buffer);
        release(m_pending);
        m_pending = buffer;
    }
}

void PipeWireFrames::addDamage(pw_buffer* buffer) {
    const spa_meta* meta = spa_buffer_find_meta(buffer->buffer, SPA_META_VideoDamage);
    bool any = false;
    if (meta && !m_wholeFrame) {
        const auto* regions = static_cast<const spa_meta_region*>(meta->data);
        for (std::size_t i = 0; i < meta->size / sizeof(spa_meta_region); ++i) {
            if (!spa_meta_region_is_valid(&regions[i]))
                break;
            const spa_region& r = regions[i].region;
            m_damage.push_back(Rect{r.position.x, r.position.y,
                                    r.position.x + static_cast<std::int32_t>(r.size.width),
                                    r.position.y + static_cast<std::int32_t>(r.size.height)});
            any = true;
        }
    }
    // No damage sent: anything may have changed. Many changes unlooked at
    // cost more to list than to take whole.
    if (!any || m_damage.size() > kDamageKept) {
        m_wholeFrame = true;
        m_damage.clear();
    }
}

void PipeWireFrames::release(pw_buffer*& buffer) {
    if (buffer)
        pw_stream_queue_buffer(m_stream, buffer);
    buffer = nullptr;
}

// Each buffer holds a whole picture, so the damage since the previous frame
// taken is valid whichever buffer carries the next one.
const Frame* PipeWireFrames::take() {
    if (!m_pending || !m_format)
        return nullptr;
    release(m_held);
    m_held = m_pending;
    m_pending = nullptr;
    Frame frame;
    if (!describe(m_held, frame)) {
        release(m_held);
        return nullptr;
    }
    frame.damage.clear();
    if (m_wholeFrame) {
        frame.damage.push_back(Rect{0, 0, m_width, m_height});
    } else {
        for (const Rect& r : m_damage) {
            Rect c = clipped(r, m_width, m_height);
            if (c.right > c.left && c.bottom > c.top)
                frame.damage.push_back(c);
        }
    }
    m_damage.clear();
    m_wholeFrame = false;
    m_frame = std::move(frame);
    return &m_frame;
}

bool PipeWireFrames::describe(pw_buffer* buffer, Frame& frame) {
    const spa_data& data = buffer->buffer->datas[0];
    const spa_chunk& chunk = *data.chunk;
    frame.width = m_width;
    frame.height = m_height;
    frame.format = m_format;
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * 4;
    if (chunk.stride < static_cast<std::int32_t>(rowBytes))
        return false;
    frame.stride = chunk.stride;
    const std::size_t needed = chunk.offset + std::size_t(chunk.stride) * (m_height - 1) + rowBytes;
    if (data.type == SPA_DATA_MemFd) {
        if (data.fd < 0 || needed > data.maxsize)
            return false;
        frame.fd = static_cast<int>(data.fd);
        frame.offset = data.mapoffset + chunk.offset;
        frame.fdSize = data.mapoffset + data.maxsize;
        frame.bufferId = reinterpret_cast<std::uint64_t>(buffer->user_data);
        return true;
    }
    if (data.type != SPA_DATA_MemPtr || !data.data || needed > data.maxsize)
        return false;
    // Only a pointer: copy what changed into our own memfd, and give the
    // producer its buffer back at once.
    const std::size_t size = std::size_t(chunk.stride) * m_height;
    if (!m_copy || m_copy->size != size) {
        auto copy = std::make_unique<OwnCopy>();
        copy->fd = memfd_create("kestrove-frame", MFD_CLOEXEC);
        if (copy->fd < 0 || ftruncate(copy->fd, static_cast<off_t>(size)) < 0)
            return false;
        copy->map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, copy->fd, 0);
        if (copy->map == MAP_FAILED)
            return false;
        copy->size = size;
        copy->id = m_nextBufferId++;
        m_copy = std::move(copy);
        m_wholeFrame = true;
    }
    const auto* source = static_cast<const std::uint8_t*>(data.data) + chunk.offset;
    auto* target = static_cast<std::uint8_t*>(m_copy->map);
    auto copyRect = [&](const Rect& r) {
        for (int y = r.top; y < r.bottom; ++y)
            std::memcpy(target + std::size_t(y) * chunk.stride + std::size_t(r.left) * 4,
                        source + std::size_t(y) * chunk.stride + std::size_t(r.left) * 4,
                        std::size_t(r.right - r.left) * 4);
    };
    if (m_wholeFrame)
        copyRect(Rect{0, 0, m_width, m_height});
    else
        for (const Rect& r : m_damage)
            copyRect(clipped(r, m_width, m_height));
    release(m_held);
    frame.fd = m_copy->fd;
    frame.offset = 0;
    frame.fdSize = m_copy->size;
    frame.bufferId = m_copy->id;
    return true;
}

} // namespace kestrove::compositor
