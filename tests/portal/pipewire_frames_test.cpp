// One monitor's stream as the mirror takes it, from a producer of our own on
// a real PipeWire (with WirePlumber linking the two, in portal_chain.sh): in
// each format a portal's back-end may send, and with a size change half-way,
// as when the user changes the monitor's resolution while it is shared.
#include "platform/compositor/portal/pipewire_frames.h"
#include "tests/harness/portal/portal_frame_reader.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>

namespace kestrove::compositor::portal {
namespace {

using namespace std::chrono_literals;

struct Size {
    int width;
    int height;
};

// A video source that paints every frame in one colour, in `format`, at the
// size asked for last.
class Producer {
public:
    Producer(pw_core* core, std::uint32_t format, Size size)
        : m_format(format),
          m_stream(pw_stream_new(core, "Kestrove test source",
                                 pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr))) {
        m_events.version = PW_VERSION_STREAM_EVENTS;
        m_events.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
            auto* producer = static_cast<Producer*>(self);
            spa_video_info_raw info{};
            if (id == SPA_PARAM_Format && param != nullptr &&
                spa_format_video_raw_parse(param, &info) >= 0) {
                producer->m_size = {static_cast<int>(info.size.width),
                                    static_cast<int>(info.size.height)};
                producer->bufferParams();
            }
        };
        m_events.process = [](void* self) { static_cast<Producer*>(self)->paint(); };
        pw_stream_add_listener(m_stream, &m_hook, &m_events, this);
        std::uint8_t storage[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
        const spa_pod* params[] = {formatParam(b, size)};
        pw_stream_connect(
            m_stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
            params, 1);
    }
    ~Producer() {
        spa_hook_remove(&m_hook);
        pw_stream_destroy(m_stream);
    }
    Producer(const Producer&) = delete;
    Producer& operator=(const Producer&) = delete;

    std::uint32_t node() const { return pw_stream_get_node_id(m_stream); }

    // How the next buffer's chunk describes its rows.
    enum class Chunk {
        Padded,       // the stride the buffers were made with
        PixelStride,  // the width in pixels, as mutter 48 sends some chunks
        BeyondBuffer, // rows that do not fit in the buffer: it cannot be read
    };

    // The colour as red, green, blue; placed in each pixel as the format says.
    void show(e2e::Rgb colour, Chunk chunk = Chunk::Padded) {
        m_colour = colour;
        m_chunk = chunk;
        pw_stream_trigger_process(m_stream);
    }
    void resize(Size size) {
        std::uint8_t storage[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
        const spa_pod* params[] = {formatParam(b, size)};
        pw_stream_update_params(m_stream, params, 1);
    }

private:
    const spa_pod* formatParam(spa_pod_builder& b, Size size) {
        spa_pod_frame object;
        spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
        spa_pod_builder_prop(&b, SPA_FORMAT_mediaType, 0);
        spa_pod_builder_id(&b, SPA_MEDIA_TYPE_video);
        spa_pod_builder_prop(&b, SPA_FORMAT_mediaSubtype, 0);
        spa_pod_builder_id(&b, SPA_MEDIA_SUBTYPE_raw);
        spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_format, 0);
        spa_pod_builder_id(&b, m_format);
        spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_size, 0);
        spa_pod_builder_rectangle(&b, static_cast<std::uint32_t>(size.width),
                                  static_cast<std::uint32_t>(size.height));
        spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_framerate, 0);
        spa_pod_builder_fraction(&b, 0, 1);
        return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object));
    }

    void bufferParams() {
        std::uint8_t storage[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
        const int stride = m_size.width * 4 + 16; // padded rows, as GPUs give them
        spa_pod_frame object;
        spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers);
        spa_pod_builder_prop(&b, SPA_PARAM_BUFFERS_buffers, 0);
        spa_pod_builder_int(&b, 4);
        spa_pod_builder_prop(&b, SPA_PARAM_BUFFERS_blocks, 0);
        spa_pod_builder_int(&b, 1);
        spa_pod_builder_prop(&b, SPA_PARAM_BUFFERS_size, 0);
        spa_pod_builder_int(&b, stride * m_size.height);
        spa_pod_builder_prop(&b, SPA_PARAM_BUFFERS_stride, 0);
        spa_pod_builder_int(&b, stride);
        const spa_pod* params[] = {static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &object))};
        pw_stream_update_params(m_stream, params, 1);
    }

    void paint() {
        pw_buffer* buffer = pw_stream_dequeue_buffer(m_stream);
        if (buffer == nullptr) {
            return;
        }
        spa_data& data = buffer->buffer->datas[0];
        const int stride = m_size.width * 4 + 16;
        if (data.data != nullptr &&
            data.maxsize >= static_cast<std::uint32_t>(stride * m_size.height)) {
            const std::uint8_t rgb[3] = {m_colour.r, m_colour.g, m_colour.b};
            std::uint8_t pixel[4] = {0xFF, 0xFF, 0xFF, 0xFF};
            // Where red, green and blue lie in each format's bytes.
            const char* order = m_format == SPA_VIDEO_FORMAT_BGRx   ? "bgrx"
                                : m_format == SPA_VIDEO_FORMAT_RGBA ? "rgbx"
                                : m_format == SPA_VIDEO_FORMAT_xRGB ? "xrgb"
                                                                    : "xbgr";
            constexpr std::string_view kColours = "rgb";
            for (int i = 0; i < 4; ++i) {
                if (const std::size_t at = kColours.find(order[i]); at != std::string_view::npos) {
                    pixel[i] = rgb[at];
                }
            }
            auto* row = static_cast<std::uint8_t*>(data.data);
            for (int y = 0; y < m_size.height; ++y, row += stride) {
                for (int x = 0; x < m_size.width; ++x) {
                    std::memcpy(row + x * 4, pixel, 4);
                }
            }
            data.chunk->offset = m_chunk == Chunk::BeyondBuffer ? data.maxsize / 2 : 0;
            data.chunk->stride = m_chunk == Chunk::PixelStride ? m_size.width : stride;
            data.chunk->size = static_cast<std::uint32_t>(stride * m_size.height);
        }
        pw_stream_queue_buffer(m_stream, buffer);
    }

    std::uint32_t m_format;
    pw_stream* m_stream;
    spa_hook m_hook{};
    pw_stream_events m_events{};
    Size m_size{};
    e2e::Rgb m_colour{};
    Chunk m_chunk = Chunk::Padded;
};

struct FormatCase {
    const char* name;
    std::uint32_t format;
};

class PipeWireFramesTest : public testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override {
        if (std::getenv("KESTROVE_PORTAL_WORK") == nullptr) {
            GTEST_SKIP() << "needs PipeWire and WirePlumber of portal_chain.sh";
        }
        pw_init(nullptr, nullptr);
        m_loop = pw_loop_new(nullptr);
        // Entered for good, as the capture does: PipeWire's data thread then
        // hands its calls to this thread.
        pw_loop_enter(m_loop);
        m_context = pw_context_new(m_loop, nullptr, 0);
        m_core = pw_context_connect(m_context, nullptr, 0);
        ASSERT_NE(m_core, nullptr);
    }
    void TearDown() override {
        if (m_core != nullptr) {
            pw_core_disconnect(m_core);
        }
        if (m_context != nullptr) {
            pw_context_destroy(m_context);
        }
        if (m_loop != nullptr) {
            pw_loop_leave(m_loop);
            pw_loop_destroy(m_loop);
        }
    }

    // Runs the loop until `done`, bounded.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            pw_loop_iterate(m_loop, 20);
            if (done()) {
                return true;
            }
        }
        return false;
    }

    // Shows `colour` until a frame of it at `size` arrives (the producer
    // may paint once more at its old size); that frame.
    std::optional<e2e::CapturedFrame> frameOf(Producer& producer, PipeWireFrames& frames,
                                              e2e::Rgb colour, Size size) {
        std::optional<e2e::CapturedFrame> shown;
        runUntil([&] {
            producer.show(colour);
            if (const Frame* frame = frames.take()) {
                e2e::CapturedFrame copy = e2e::ReadFrame(*frame);
                if (copy.width == size.width && copy.height == size.height &&
                    copy.at(copy.width / 2, copy.height / 2) == colour) {
                    shown = std::move(copy);
                }
            }
            return shown.has_value() || !frames.failure().empty();
        });
        return shown;
    }

    pw_loop* m_loop = nullptr;
    pw_context* m_context = nullptr;
    pw_core* m_core = nullptr;
};

TEST_P(PipeWireFramesTest, FramesFollowTheFormatAndASizeChange) {
    Producer producer(m_core, GetParam().format, {64, 48});
    ASSERT_TRUE(runUntil([&] { return producer.node() != SPA_ID_INVALID; }));
    std::uint64_t nextBufferId = 1;
    PipeWireFrames frames(m_core, producer.node(), nextBufferId);

    const e2e::Rgb first{200, 30, 40}, second{20, 160, 220};
    std::optional<e2e::CapturedFrame> frame = frameOf(producer, frames, first, {64, 48});
    ASSERT_TRUE(frame) << frames.failure();
    EXPECT_EQ(frame->at(0, 0), first);
    EXPECT_EQ(frame->at(63, 47), first);

    producer.resize({80, 40});
    frame = frameOf(producer, frames, second, {80, 40});
    ASSERT_TRUE(frame) << frames.failure();
    EXPECT_EQ(frame->at(79, 39), second);
    // The new size is new memory to the receiver: all of it counts as changed.
    ASSERT_EQ(frame->damage.size(), 1u);
    EXPECT_EQ(frame->damage[0], (Rect{0, 0, 80, 40}));
}

// Each picture is painted once, as a compositor does on a still desktop after
// a change: a chunk with an impossible stride is read at the stream's stride,
// and after a buffer that cannot be read the next one is taken whole.
TEST_P(PipeWireFramesTest, EveryReadablePictureIsShown) {
    Producer producer(m_core, GetParam().format, {64, 48});
    ASSERT_TRUE(runUntil([&] { return producer.node() != SPA_ID_INVALID; }));
    std::uint64_t nextBufferId = 1;
    PipeWireFrames frames(m_core, producer.node(), nextBufferId);
    ASSERT_TRUE(frameOf(producer, frames, {1, 2, 3}, {64, 48})) << frames.failure();
    // The frames painted while it was awaited.
    for (const auto until = std::chrono::steady_clock::now() + 300ms;
         std::chrono::steady_clock::now() < until;) {
        pw_loop_iterate(m_loop, 20);
        frames.take();
    }

    struct Step {
        Producer::Chunk chunk;
        bool shown;
    };
    const Step steps[] = {
        {Producer::Chunk::PixelStride, true},   {Producer::Chunk::Padded, true},
        {Producer::Chunk::PixelStride, true},   {Producer::Chunk::PixelStride, true},
        {Producer::Chunk::BeyondBuffer, false}, {Producer::Chunk::Padded, true},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const e2e::Rgb colour{static_cast<std::uint8_t>(40 + 30 * i), 90,
                              static_cast<std::uint8_t>(200 - 20 * i)};
        producer.show(colour, steps[i].chunk);
        std::optional<e2e::CapturedFrame> shown;
        const auto until = std::chrono::steady_clock::now() + (steps[i].shown ? 5s : 500ms);
        while (!shown && std::chrono::steady_clock::now() < until) {
            pw_loop_iterate(m_loop, 20);
            if (const Frame* frame = frames.take()) {
                shown = e2e::ReadFrame(*frame);
            }
        }
        EXPECT_EQ(shown.has_value(), steps[i].shown) << "step " << i;
        if (shown && steps[i].shown) {
            EXPECT_EQ(shown->at(0, 0), colour) << "step " << i;
            EXPECT_EQ(shown->at(63, 47), colour) << "step " << i;
            ASSERT_EQ(shown->damage.size(), 1u);
            EXPECT_EQ(shown->damage[0], (Rect{0, 0, 64, 48}));
        }
    }
    EXPECT_TRUE(frames.failure().empty()) << frames.failure();
}

// Another monitor of the same stream is shown: the last frame comes again,
// whole, without the producer painting anew; once.
TEST_P(PipeWireFramesTest, TheLastFrameComesAgainWhole) {
    Producer producer(m_core, GetParam().format, {64, 48});
    ASSERT_TRUE(runUntil([&] { return producer.node() != SPA_ID_INVALID; }));
    std::uint64_t nextBufferId = 1;
    PipeWireFrames frames(m_core, producer.node(), nextBufferId);
    const e2e::Rgb colour{30, 140, 70};
    ASSERT_TRUE(frameOf(producer, frames, colour, {64, 48})) << frames.failure();
    // The frames painted while it was awaited, all of that colour.
    for (const auto until = std::chrono::steady_clock::now() + 300ms;
         std::chrono::steady_clock::now() < until;) {
        pw_loop_iterate(m_loop, 20);
        frames.take();
    }
    EXPECT_EQ(frames.take(), nullptr) << "nothing painted since";

    frames.again();
    const Frame* frame = frames.take();
    ASSERT_NE(frame, nullptr);
    const e2e::CapturedFrame again = e2e::ReadFrame(*frame);
    EXPECT_EQ(again.at(0, 0), colour);
    EXPECT_EQ(again.at(63, 47), colour);
    ASSERT_EQ(again.damage.size(), 1u);
    EXPECT_EQ(again.damage[0], (Rect{0, 0, 64, 48}));
    EXPECT_EQ(frames.take(), nullptr) << "given again once";
}

INSTANTIATE_TEST_SUITE_P(Formats, PipeWireFramesTest,
                         testing::Values(FormatCase{"BGRx", SPA_VIDEO_FORMAT_BGRx},
                                         FormatCase{"RGBA", SPA_VIDEO_FORMAT_RGBA},
                                         FormatCase{"xRGB", SPA_VIDEO_FORMAT_xRGB},
                                         FormatCase{"xBGR", SPA_VIDEO_FORMAT_xBGR}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                             return info.param.name;
                         });

} // namespace
} // namespace kestrove::compositor::portal
