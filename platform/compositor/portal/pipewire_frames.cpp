#include "platform/compositor/portal/pipewire_frames.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include <sys/mman.h>
#include <unistd.h>

namespace kestrove::compositor::portal {
namespace {

// Damage rectangles the producer may send per frame; more and it sends the
// whole frame.
constexpr std::uint32_t kDamageRegions = 16;

// Beyond any monitor; keeps sizes and damage in range of our arithmetic.
constexpr int kLargestSide = 16384;

// The mirror refreshes every 50 ms.
constexpr std::uint32_t kMaxFramesPerSecond = 20;

// The formats we take, any size: the one the X server reads as it is
// preferred, the others are turned into it as they are copied.
const spa_pod* EnumFormatParam(spa_pod_builder& b) {
    spa_pod_frame object, choice;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_prop(&b, SPA_FORMAT_mediaType, 0);
    spa_pod_builder_id(&b, SPA_MEDIA_TYPE_video);
    spa_pod_builder_prop(&b, SPA_FORMAT_mediaSubtype, 0);
    spa_pod_builder_id(&b, SPA_MEDIA_SUBTYPE_raw);

    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_format, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Enum, 0);
    spa_pod_builder_id(&b, kAcceptedVideoFormats[0]); // the default
    for (const std::uint32_t format : kAcceptedVideoFormats) {
        spa_pod_builder_id(&b, format);
    }
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
const spa_pod* BuffersParam(spa_pod_builder& b) {
    spa_pod_frame object, choice;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers);
    spa_pod_builder_prop(&b, SPA_PARAM_BUFFERS_dataType, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Flags, 0);
    spa_pod_builder_int(&b, (1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr));
    spa_pod_builder_pop(&b, &choice);
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object));
}

const spa_pod* MetaParam(spa_pod_builder& b, std::uint32_t type, std::uint32_t size) {
    spa_pod_frame object;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta);
    spa_pod_builder_prop(&b, SPA_PARAM_META_type, 0);
    spa_pod_builder_id(&b, type);
    spa_pod_builder_prop(&b, SPA_PARAM_META_size, 0);
    spa_pod_builder_int(&b, static_cast<std::int32_t>(size));
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object));
}

// The producer may write its buffer's chunk while we read it: each field is
// read once, and only the copy is used.
PipeWireFrames::Chunk ReadChunk(const spa_chunk& chunk) {
    return PipeWireFrames::Chunk{
        __atomic_load_n(&chunk.offset, __ATOMIC_RELAXED),
        __atomic_load_n(&chunk.size, __ATOMIC_RELAXED),
        __atomic_load_n(&chunk.stride, __ATOMIC_RELAXED),
        __atomic_load_n(&chunk.flags, __ATOMIC_RELAXED),
    };
}

// The stride to read a chunk's rows with. A chunk's own where it is possible
// for the format; where it is not (mutter 48 sends some chunks with the width
// in pixels), the one this stream's chunks had before, else rows packed
// tight. Whether the buffer holds that much is the caller's to check.
std::size_t StrideOf(std::int32_t chunkStride, std::size_t rowBytes, std::size_t streamStride) {
    if (chunkStride > 0 && static_cast<std::size_t>(chunkStride) >= rowBytes) {
        return static_cast<std::size_t>(chunkStride);
    }
    return streamStride >= rowBytes ? streamStride : rowBytes;
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
        if (map != MAP_FAILED) {
            munmap(map, size);
        }
        if (fd >= 0) {
            close(fd);
        }
    }
};

PipeWireFrames::PipeWireFrames(pw_core* core, std::uint32_t node, std::uint64_t& nextBufferId,
                               bool damageHolds)
    : m_listener(std::make_unique<Listener>()), m_damageHolds(damageHolds),
      m_nextBufferId(nextBufferId) {
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
        if (id == SPA_PARAM_Format) {
            static_cast<PipeWireFrames*>(self)->onFormat(param);
        }
    };
    m_listener->events.add_buffer = [](void* self, pw_buffer* buffer) {
        buffer->user_data =
            reinterpret_cast<void*>(static_cast<PipeWireFrames*>(self)->m_nextBufferId++);
    };
    m_listener->events.remove_buffer = [](void* data, pw_buffer* buffer) {
        // Gone with a new format or the stream's end: never queue it back.
        auto* self = static_cast<PipeWireFrames*>(data);
        if (self->m_pending == buffer) {
            self->m_pending = nullptr;
        }
        if (self->m_held == buffer) {
            self->m_held = nullptr;
        }
    };
    m_listener->events.process = [](void* self) {
        static_cast<PipeWireFrames*>(self)->onProcess();
    };
    pw_stream_add_listener(m_stream, &m_listener->hook, &m_listener->events, this);

    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[] = {EnumFormatParam(b)};
    int r = pw_stream_connect(
        m_stream, PW_DIRECTION_INPUT, node,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_DONT_RECONNECT),
        params, 1);
    if (r < 0) {
        m_failure = std::string("PipeWire stream: ") + std::strerror(-r);
    }
}

PipeWireFrames::~PipeWireFrames() {
    if (!m_stream) {
        return;
    }
    spa_hook_remove(&m_listener->hook);
    pw_stream_destroy(m_stream);
}

void PipeWireFrames::onStateChanged(int state, const char* error) {
    if (state == PW_STREAM_STATE_ERROR) {
        m_failure = std::string("the screen-cast stream failed: ") + (error ? error : "no reason");
    } else if (state == PW_STREAM_STATE_UNCONNECTED && m_failure.empty()) {
        m_failure = "the screen-cast stream ended";
    }
}

void PipeWireFrames::onFormat(const spa_pod* param) {
    if (!param) { // the producer took its format back: no frames until the next one
        m_layout.reset();
        return;
    }
    spa_video_info_raw info{};
    std::optional<PixelLayout> layout;
    if (spa_format_video_raw_parse(param, &info) < 0 ||
        !(layout = LayoutOf(info.format)).has_value() || info.size.width == 0 ||
        info.size.height == 0 || info.size.width > kLargestSide ||
        info.size.height > kLargestSide) {
        m_layout.reset();
        pw_stream_set_error(m_stream, -EINVAL, "unsupported video format");
        return;
    }
    m_width = static_cast<int>(info.size.width);
    m_height = static_cast<int>(info.size.height);
    m_layout = layout;
    m_format = info.format == SPA_VIDEO_FORMAT_BGRA ? kFormatArgb8888 : kFormatXrgb8888;
    m_stride = 0;
    m_wholeFrame = true;
    m_damage.clear();

    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[] = {
        BuffersParam(b),
        MetaParam(b, SPA_META_Header, sizeof(spa_meta_header)),
        MetaParam(b, SPA_META_VideoDamage, sizeof(spa_meta_region) * kDamageRegions),
    };
    pw_stream_update_params(m_stream, params, 3);
}

void PipeWireFrames::onProcess() {
    while (pw_buffer* buffer = pw_stream_dequeue_buffer(m_stream)) {
        const spa_buffer* spa = buffer->buffer;
        const auto* header = static_cast<const spa_meta_header*>(
            spa_buffer_find_meta_data(spa, SPA_META_Header, sizeof(spa_meta_header)));
        const Chunk chunk = spa->n_datas > 0 ? ReadChunk(*spa->datas[0].chunk) : Chunk{};
        // Mutter sends buffers without a picture when only the cursor moved
        // and the cursor travels as metadata; there is none such here, as the
        // cursor is drawn in, but a producer may still send empty chunks.
        const bool usable = chunk.size > 0 && (chunk.flags & SPA_CHUNK_FLAG_CORRUPTED) == 0 &&
                            !(header && (__atomic_load_n(&header->flags, __ATOMIC_RELAXED) &
                                         SPA_META_HEADER_FLAG_CORRUPTED));
        if (!usable) {
            // What changed in it is lost with it: the next frame is whole.
            dropped(buffer);
            continue;
        }
        addDamage(buffer);
        release(m_pending);
        m_pending = buffer;
        m_pendingChunk = chunk;
    }
}

void PipeWireFrames::addDamage(pw_buffer* buffer) {
    const spa_meta* meta = spa_buffer_find_meta(buffer->buffer, SPA_META_VideoDamage);
    bool any = false;
    if (meta && !m_wholeFrame && m_damageHolds) {
        const auto* regions = static_cast<const spa_meta_region*>(meta->data);
        for (std::size_t i = 0; i < meta->size / sizeof(spa_meta_region); ++i) {
            spa_meta_region region; // read once: the producer writes it
            std::memcpy(&region, &regions[i], sizeof region);
            if (!spa_meta_region_is_valid(&region) ||
                region.region.size.width > static_cast<std::uint32_t>(kLargestSide) ||
                region.region.size.height > static_cast<std::uint32_t>(kLargestSide) ||
                std::abs(region.region.position.x) > kLargestSide ||
                std::abs(region.region.position.y) > kLargestSide) {
                break;
            }
            const spa_region& r = region.region;
            m_damage.add(Rect{r.position.x, r.position.y,
                              r.position.x + static_cast<std::int32_t>(r.size.width),
                              r.position.y + static_cast<std::int32_t>(r.size.height)});
            any = true;
        }
    }
    // No damage sent: anything may have changed. Many changes unlooked at
    // cost more to list than to take whole.
    if (!any || m_damage.everything()) {
        m_wholeFrame = true;
        m_damage.clear();
    }
}

void PipeWireFrames::dropped(pw_buffer* buffer) {
    pw_stream_queue_buffer(m_stream, buffer);
    m_wholeFrame = true;
    m_damage.clear();
}

void PipeWireFrames::release(pw_buffer*& buffer) {
    if (buffer) {
        pw_stream_queue_buffer(m_stream, buffer);
    }
    buffer = nullptr;
}

// Each buffer holds a whole picture, so the damage since the previous frame
// taken is valid whichever buffer carries the next one.
void PipeWireFrames::again() {
    m_wholeFrame = true;
    m_again = true;
}

const Frame* PipeWireFrames::take() {
    if (!m_pending || !m_layout) {
        // The last frame's memory is still ours while its buffer is held, or
        // while our copy of it lasts.
        const bool lastKept = m_held != nullptr || (m_copy != nullptr && m_frame.fd == m_copy->fd);
        if (!m_again || !m_layout || !lastKept) {
            return nullptr;
        }
        m_again = false;
        m_wholeFrame = false;
        m_frame.damage.assign(1, Rect{0, 0, m_frame.width, m_frame.height});
        return &m_frame;
    }
    m_again = false;
    release(m_held);
    m_held = m_pending;
    m_pending = nullptr;
    Frame frame;
    if (!describe(m_held, m_pendingChunk, frame)) {
        pw_buffer* bad = m_held;
        m_held = nullptr;
        dropped(bad);
        return nullptr;
    }
    frame.damage.clear();
    if (m_wholeFrame) {
        frame.damage.push_back(Rect{0, 0, m_width, m_height});
    } else {
        for (const Rect& r : m_damage.rects()) {
            if (const Rect c = Intersection(r, Rect{0, 0, m_width, m_height}); !IsEmpty(c)) {
                frame.damage.push_back(c);
            }
        }
    }
    m_damage.clear();
    m_wholeFrame = false;
    m_frame = std::move(frame);
    return &m_frame;
}

bool PipeWireFrames::describe(pw_buffer* buffer, const Chunk& chunk, Frame& frame) {
    const spa_data& data = buffer->buffer->datas[0];
    frame.width = m_width;
    frame.height = m_height;
    frame.format = m_format;
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * 4;
    // Read once: the fields are the producer's.
    const std::uint32_t type = data.type;
    const std::int64_t fd = data.fd;
    const std::size_t mapOffset = data.mapoffset;
    const std::size_t maxSize = data.maxsize;
    const void* pointer = data.data;
    if (!(type == SPA_DATA_MemFd && fd >= 0 && fd <= std::numeric_limits<int>::max()) &&
        !(type == SPA_DATA_MemPtr && pointer != nullptr)) {
        m_memoryless = true;
        return false;
    }
    const std::size_t stride = StrideOf(chunk.stride, rowBytes, m_stride);
    const std::size_t needed = std::size_t{chunk.offset} + stride * (m_height - 1) + rowBytes;
    if (needed > maxSize) {
        return false;
    }
    if (stride == static_cast<std::size_t>(chunk.stride)) {
        m_stride = stride;
    }
    if (type == SPA_DATA_MemFd && m_layout->native()) {
        m_copy.reset(); // a later copy starts whole
        frame.fd = static_cast<int>(fd);
        frame.stride = static_cast<int>(stride);
        frame.offset = mapOffset + chunk.offset;
        frame.fdSize = mapOffset + maxSize;
        frame.bufferId = reinterpret_cast<std::uint64_t>(buffer->user_data);
        return true;
    }
    // Memory the producer shares by descriptor is mapped only while a frame
    // in a format the X server cannot read is turned into one it can:
    // mapping every buffer for the stream's life would cost tens of MiB.
    const std::uint8_t* mapped = nullptr;
    std::unique_ptr<void, std::function<void(void*)>> mapping;
    if (type == SPA_DATA_MemPtr) {
        mapped = static_cast<const std::uint8_t*>(pointer);
    } else {
        const std::size_t length = mapOffset + maxSize;
        void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, static_cast<int>(fd), 0);
        if (map == MAP_FAILED) {
            return false;
        }
        mapping = {map, [length](void* p) { munmap(p, length); }};
        mapped = static_cast<const std::uint8_t*>(map) + mapOffset;
    }
    // Only a pointer, or a format the X server cannot read: copy what
    // changed into our own memfd, turned into its format, and give the
    // producer its buffer back at once.
    const std::size_t size = rowBytes * m_height;
    if (!m_copy || m_copy->size != size) {
        auto copy = std::make_unique<OwnCopy>();
        copy->fd = memfd_create("kestrove-frame", MFD_CLOEXEC);
        if (copy->fd < 0 || ftruncate(copy->fd, static_cast<off_t>(size)) < 0) {
            return false;
        }
        copy->map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, copy->fd, 0);
        if (copy->map == MAP_FAILED) {
            return false;
        }
        copy->size = size;
        copy->id = m_nextBufferId++;
        m_copy = std::move(copy);
        m_wholeFrame = true;
    }
    const std::uint8_t* source = mapped + chunk.offset;
    auto* target = static_cast<std::uint8_t*>(m_copy->map);
    auto copyRect = [&](const Rect& r) {
        for (int y = r.top; y < r.bottom; ++y) {
            ToNative(source + std::size_t(y) * stride + std::size_t(r.left) * 4,
                     target + std::size_t(y) * rowBytes + std::size_t(r.left) * 4,
                     std::size_t(r.right - r.left), *m_layout);
        }
    };
    if (m_wholeFrame) {
        copyRect(Rect{0, 0, m_width, m_height});
    } else {
        for (const Rect& r : m_damage.rects()) {
            if (const Rect c = Intersection(r, Rect{0, 0, m_width, m_height}); !IsEmpty(c)) {
                copyRect(c);
            }
        }
    }
    release(m_held);
    frame.fd = m_copy->fd;
    frame.stride = static_cast<int>(rowBytes);
    frame.offset = 0;
    frame.fdSize = m_copy->size;
    frame.bufferId = m_copy->id;
    return true;
}

} // namespace kestrove::compositor::portal
