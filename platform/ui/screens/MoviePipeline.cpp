#include "platform/ui/screens/MoviePipeline.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"

#include <cairo.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

namespace morvix::platform {

namespace {

using State = MoviePipelineEvent::State;
using Kind = MoviePipelineEvent::Kind;

// playbin's "flags": video and audio, deinterlaced; no subtitles, no visualisation. Without
// the native-video flag playbin converts and scales pictures to what the sink asks for.
constexpr guint kPlayVideo = 1u << 0;
constexpr guint kPlayAudio = 1u << 1;
constexpr guint kPlayDeinterlace = 1u << 9;

// cairo's ARGB32 is a native-endian 32-bit word; in memory that is BGRA on little-endian
// machines and ARGB on big-endian ones. The padding byte is made opaque when copied.
constexpr const char* kSinkFormat = G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB";

GstState toGst(State state)
{
    switch (state) {
    case State::Null:
        return GST_STATE_NULL;
    case State::Ready:
        return GST_STATE_READY;
    case State::Paused:
        return GST_STATE_PAUSED;
    case State::Playing:
        return GST_STATE_PLAYING;
    }
    return GST_STATE_NULL;
}

State fromGst(GstState state)
{
    switch (state) {
    case GST_STATE_READY:
        return State::Ready;
    case GST_STATE_PAUSED:
        return State::Paused;
    case GST_STATE_PLAYING:
        return State::Playing;
    case GST_STATE_VOID_PENDING:
    case GST_STATE_NULL:
        return State::Null;
    }
    return State::Null;
}

/// A copy of the picture in `sample` as an opaque ARGB32 image; null for what is no picture
/// of the format asked for.
std::shared_ptr<Image> imageFromSample(GstSample* sample)
{
    GstCaps* caps = sample ? gst_sample_get_caps(sample) : nullptr;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return nullptr;
    int width = GST_VIDEO_INFO_WIDTH(&info);
    int height = GST_VIDEO_INFO_HEIGHT(&info);
    if (GST_VIDEO_INFO_N_PLANES(&info) != 1 || width < 1 || height < 1 || width > MoviePipeline::kMaximumSide
        || height > MoviePipeline::kMaximumSide)
        return nullptr;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        gst_video_frame_unmap(&frame);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    auto* target = cairo_image_surface_get_data(surface);
    int targetStride = cairo_image_surface_get_stride(surface);
    const auto* source = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    int sourceStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(target + std::size_t(y) * targetStride);
        std::memcpy(row, source + std::size_t(y) * sourceStride, std::size_t(width) * 4);
        for (int x = 0; x < width; ++x)
            row[x] |= 0xff000000u;
    }
    gst_video_frame_unmap(&frame);
    cairo_surface_mark_dirty(surface);
    return Image::adopt(surface);
}

} // namespace

/// What GStreamer's threads share with the main thread. The bus handler and the sink's
/// callbacks each hold it, so it outlives the pipeline object; `impl` is cleared (on the main
/// thread) when that goes, and the main-thread tasks check it before they touch anything.
struct MovieChannel {
    MovieChannel(GstElement* playbin, std::uint64_t maximumBytes, bool byteRanges)
        : playbin(playbin)
        , maximumBytes(maximumBytes)
        , byteRanges(byteRanges)
    {
    }
    /// Compared with message sources only; never dereferenced off the main thread.
    GstElement* const playbin;
    /// What the source may read in one pass; 0 for no cap.
    const std::uint64_t maximumBytes;
    /// Read in this pass; the main thread sets it back to 0 when a new pass begins.
    std::atomic<std::uint64_t> bytesRead = 0;
    std::atomic<bool> overflowed = false;
    /// Whether the source can read from anywhere in the movie: a file can; an HTTP source once
    /// its server's answer says so.
    std::atomic<bool> byteRanges;
    /// Main thread only.
    MoviePipeline::Impl* impl = nullptr;

    std::mutex mutex; // guards pendingFrame and framePosted
    std::shared_ptr<Image> pendingFrame;
    bool framePosted = false;
};

struct MoviePipeline::Impl {
    GstElement* playbin = nullptr;
    /// The pipeline's own clock, whose pace is the movie's speed.
    GstClock* clock = nullptr;
    std::shared_ptr<MovieChannel> channel;
    MoviePipelineDelegate* delegate = nullptr;

    void deliver(const MoviePipelineEvent& event)
    {
        // The delegate may destroy the pipeline, and this object with it: nothing after this.
        delegate->pipelineEvent(event);
    }
    void restartClock()
    {
        // The clock went away (its provider left the pipeline): going through paused makes the
        // pipeline choose a new one.
        GstState current = GST_STATE_NULL;
        gst_element_get_state(playbin, &current, nullptr, 0);
        if (current != GST_STATE_PLAYING)
            return;
        gst_element_set_state(playbin, GST_STATE_PAUSED);
        gst_element_set_state(playbin, GST_STATE_PLAYING);
    }
};

namespace {

void post(const std::shared_ptr<MovieChannel>& channel, MoviePipelineEvent event)
{
    MainLoop::main().post([channel, event = std::move(event)] {
        if (channel->impl)
            channel->impl->deliver(event);
    });
}

void deleteChannel(gpointer data)
{
    delete static_cast<std::shared_ptr<MovieChannel>*>(data);
}

std::string errorText(GError* error, const char* fallback)
{
    std::string text = error && error->message ? error->message : fallback;
    if (error)
        g_error_free(error);
    return text;
}

/// Whether the answer that souphttpsrc's "http-headers" message describes shows that its server
/// serves byte ranges: a partial answer, or "Accept-Ranges: bytes".
bool servesByteRanges(const GstStructure& headers)
{
    guint status = 0;
    if (gst_structure_get_uint(&headers, "http-status-code", &status) && status == 206)
        return true;
    const GValue* response = gst_structure_get_value(&headers, "response-headers");
    if (!response || !GST_VALUE_HOLDS_STRUCTURE(response))
        return false;
    const GstStructure* fields = gst_value_get_structure(response);
    for (gint index = 0; index < gst_structure_n_fields(fields); ++index) {
        const gchar* name = gst_structure_nth_field_name(fields, index);
        if (g_ascii_strcasecmp(name, "Accept-Ranges") != 0)
            continue;
        const GValue* value = gst_structure_get_value(fields, name);
        if (value && G_VALUE_HOLDS_STRING(value) && g_value_get_string(value)
            && g_ascii_strncasecmp(g_value_get_string(value), "bytes", 5) == 0)
            return true;
    }
    return false;
}

/// Runs on whichever thread posts the message: turns what the player needs into events for the
/// main thread and drops the message.
GstBusSyncReply busMessage(GstBus*, GstMessage* message, gpointer data)
{
    const auto& channel = *static_cast<std::shared_ptr<MovieChannel>*>(data);
    MoviePipelineEvent event;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED: {
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(channel->playbin))
            return GST_BUS_DROP;
        GstState old = GST_STATE_NULL, now = GST_STATE_NULL, pending = GST_STATE_NULL;
        gst_message_parse_state_changed(message, &old, &now, &pending);
        event.kind = Kind::StateChanged;
        event.state = fromGst(now);
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        event.kind = Kind::Prerolled;
        break;
    case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        event.kind = Kind::Buffering;
        event.percent = percent;
        break;
    }
    case GST_MESSAGE_EOS:
        event.kind = Kind::Ended;
        break;
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        event.kind = Kind::Failed;
        event.text = errorText(error, "the movie cannot be played");
        break;
    }
    case GST_MESSAGE_ELEMENT: {
        // The HTTP source describes each answer it gets, the one to a seek's request included.
        const GstStructure* structure = gst_message_get_structure(message);
        if (structure && gst_structure_has_name(structure, "http-headers"))
            channel->byteRanges = servesByteRanges(*structure);
        return GST_BUS_DROP;
    }
    case GST_MESSAGE_CLOCK_LOST:
        MainLoop::main().post([channel] {
            if (channel->impl)
                channel->impl->restartClock();
        });
        return GST_BUS_DROP;
    default:
        return GST_BUS_DROP;
    }
    post(channel, std::move(event));
    return GST_BUS_DROP;
}

/// Runs on the streaming thread: keeps the newest picture and asks the main thread for one
/// hand-over when none is on its way.
GstFlowReturn takeSample(GstSample* sample, const std::shared_ptr<MovieChannel>& channel)
{
    auto image = imageFromSample(sample);
    if (sample)
        gst_sample_unref(sample);
    if (!image)
        return GST_FLOW_OK;
    {
        std::lock_guard lock(channel->mutex);
        channel->pendingFrame = std::move(image);
        if (channel->framePosted)
            return GST_FLOW_OK;
        channel->framePosted = true;
    }
    MainLoop::main().post([channel] {
        MoviePipelineEvent event;
        event.kind = Kind::Frame;
        {
            std::lock_guard lock(channel->mutex);
            event.frame = std::move(channel->pendingFrame);
            channel->framePosted = false;
        }
        if (channel->impl && event.frame)
            channel->impl->deliver(event);
    });
    return GST_FLOW_OK;
}

GstFlowReturn newPreroll(GstAppSink* sink, gpointer data)
{
    return takeSample(gst_app_sink_pull_preroll(sink), *static_cast<std::shared_ptr<MovieChannel>*>(data));
}

GstFlowReturn newSample(GstAppSink* sink, gpointer data)
{
    return takeSample(gst_app_sink_pull_sample(sink), *static_cast<std::shared_ptr<MovieChannel>*>(data));
}

/// Runs on the source's streaming thread: counts what the source reads and, past the cap,
/// drops the rest and fails the movie once.
GstPadProbeReturn countBytes(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    const auto& channel = *static_cast<std::shared_ptr<MovieChannel>*>(data);
    std::uint64_t size = 0;
    if (GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info); buffer && (info->type & GST_PAD_PROBE_TYPE_BUFFER))
        size = gst_buffer_get_size(buffer);
    else if (GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info); list && (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST))
        size = gst_buffer_list_calculate_size(list);
    if (channel->bytesRead.fetch_add(size) + size <= channel->maximumBytes)
        return GST_PAD_PROBE_OK;
    if (!channel->overflowed.exchange(true)) {
        MoviePipelineEvent event;
        event.kind = Kind::Failed;
        event.text = "the movie is larger than " + std::to_string(channel->maximumBytes) + " bytes";
        post(channel, std::move(event));
    }
    return GST_PAD_PROBE_DROP;
}

/// Runs when playbin has made the element that reads the movie: puts the byte count on it.
void sourceSetup(GstElement*, GstElement* source, gpointer data)
{
    const auto& channel = *static_cast<std::shared_ptr<MovieChannel>*>(data);
    GstPad* pad = gst_element_get_static_pad(source, "src");
    if (!pad)
        return;
    gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST), countBytes,
        new std::shared_ptr<MovieChannel>(channel), deleteChannel);
    gst_object_unref(pad);
}

void deleteChannelClosure(gpointer data, GClosure*)
{
    deleteChannel(data);
}

GstElement* makeVideoSink(const std::shared_ptr<MovieChannel>& channel)
{
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!sink)
        return nullptr;
    std::string description = std::string("video/x-raw,format=") + kSinkFormat + ",pixel-aspect-ratio=1/1,width=[1,"
        + std::to_string(MoviePipeline::kMaximumSide) + "],height=[1," + std::to_string(MoviePipeline::kMaximumSide) + "]";
    GstCaps* caps = gst_caps_from_string(description.c_str());
    // A slow main thread drops pictures instead of holding the stream up or queueing them.
    g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 2u, "drop", TRUE, "enable-last-sample", FALSE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    callbacks.new_preroll = newPreroll;
    callbacks.new_sample = newSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new std::shared_ptr<MovieChannel>(channel), deleteChannel);
    return sink;
}

} // namespace

bool MoviePipeline::initialize(std::string* error)
{
    static std::once_flag once;
    static bool started = false;
    static std::string reason;
    std::call_once(once, [] {
        GError* failure = nullptr;
        started = gst_init_check(nullptr, nullptr, &failure);
        if (!started)
            reason = errorText(failure, "the media framework cannot start");
        else if (failure)
            g_error_free(failure);
    });
    if (!started && error)
        *error = reason;
    return started;
}

std::unique_ptr<MoviePipeline> MoviePipeline::create(const std::string& uri, MoviePipelineDelegate& delegate, std::string* error,
    std::uint64_t maximumBytes)
{
    assertOnMainThread();
    if (!initialize(error))
        return nullptr;
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        if (error)
            *error = "the media framework has no playbin element";
        return nullptr;
    }
    gst_object_ref_sink(playbin);
    // Only the HTTP source tells whether it can seek; the file source always can.
    bool http = g_str_has_prefix(uri.c_str(), "http:") || g_str_has_prefix(uri.c_str(), "https:");
    auto channel = std::make_shared<MovieChannel>(playbin, maximumBytes, !http);
    GstElement* videoSink = makeVideoSink(channel);
    GstElement* audioSink = gst_element_factory_make("fakesink", nullptr);
    if (!videoSink || !audioSink) {
        for (GstElement* element : { videoSink, audioSink }) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        gst_object_unref(playbin);
        if (error)
            *error = "the media framework has no appsink or fakesink element";
        return nullptr;
    }
    g_object_set(audioSink, "sync", TRUE, nullptr);
    g_object_set(playbin, "uri", uri.c_str(), "video-sink", videoSink, "audio-sink", audioSink, "flags",
        kPlayVideo | kPlayAudio | kPlayDeinterlace, nullptr);

    if (maximumBytes > 0) {
        g_signal_connect_data(playbin, "source-setup", G_CALLBACK(sourceSetup), new std::shared_ptr<MovieChannel>(channel),
            deleteChannelClosure, GConnectFlags(0));
    }
    GstBus* bus = gst_element_get_bus(playbin);
    gst_bus_set_sync_handler(bus, busMessage, new std::shared_ptr<MovieChannel>(channel), deleteChannel);
    gst_object_unref(bus);

    // A clock of its own, not the shared system clock, since its pace is this movie's speed.
    GstClock* clock = GST_CLOCK(g_object_new(GST_TYPE_SYSTEM_CLOCK, "name", "movie-clock", nullptr));
    gst_object_ref_sink(clock);
    gst_pipeline_use_clock(GST_PIPELINE(playbin), clock);

    auto impl = std::make_unique<Impl>();
    impl->playbin = playbin;
    impl->clock = clock;
    impl->channel = channel;
    impl->delegate = &delegate;
    channel->impl = impl.get();
    return std::unique_ptr<MoviePipeline>(new MoviePipeline(std::move(impl)));
}

MoviePipeline::MoviePipeline(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

MoviePipeline::~MoviePipeline()
{
    assertOnMainThread();
    m_impl->channel->impl = nullptr;
    // Joins the streaming threads; after it no callback runs, and the bus handler goes with the
    // last reference to the bus.
    gst_element_set_state(m_impl->playbin, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(m_impl->playbin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(m_impl->playbin);
    gst_object_unref(m_impl->clock);
}

void MoviePipeline::setState(MoviePipelineEvent::State state)
{
    gst_element_set_state(m_impl->playbin, toGst(state));
    // Down to ready the streaming threads have stopped: what is read from now on is a new pass,
    // played as a fresh one is.
    if (state == State::Ready || state == State::Null) {
        m_impl->channel->bytesRead = 0;
        setSpeed(1);
    }
}

bool MoviePipeline::canSeek() const
{
    return m_impl->channel->byteRanges;
}

void MoviePipeline::setSpeed(double speed)
{
    if (!(speed > 0))
        return;
    // The clock goes on from the time it shows now at the new pace, so that it never jumps.
    constexpr GstClockTime kDenominator = 1 << 20;
    GstClockTime internal = gst_clock_get_internal_time(m_impl->clock);
    GstClockTime external = gst_clock_get_time(m_impl->clock);
    // A pace too slow to show is the slowest there is, never a clock that stands still.
    auto numerator = std::max<GstClockTime>(1, GstClockTime(std::llround(std::min(speed, 1e6) * kDenominator)));
    gst_clock_set_calibration(m_impl->clock, internal, external, numerator, kDenominator);
}

bool MoviePipeline::seek(double seconds, Direction direction)
{
    if (!(seconds >= 0) || !canSeek())
        return false;
    // The source asks for the movie again from the new place. Counting starts before the
    // flush, so bytes of the pass before it may count in the new one, never the other way.
    m_impl->channel->bytesRead = 0;
    // Far beyond any movie, and well inside the clock's range.
    constexpr double kLatestPosition = 1e9;
    auto position = static_cast<gint64>(std::min(seconds, kLatestPosition) * GST_SECOND);
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (direction == Direction::Forward)
        return gst_element_seek(m_impl->playbin, 1, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, position, GST_SEEK_TYPE_NONE, -1);
    return gst_element_seek(m_impl->playbin, -1, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_SET, position);
}

std::optional<double> MoviePipeline::position() const
{
    gint64 position = 0;
    if (!gst_element_query_position(m_impl->playbin, GST_FORMAT_TIME, &position) || position < 0)
        return std::nullopt;
    return double(position) / GST_SECOND;
}

std::optional<double> MoviePipeline::duration() const
{
    gint64 duration = 0;
    if (!gst_element_query_duration(m_impl->playbin, GST_FORMAT_TIME, &duration) || duration < 0)
        return std::nullopt;
    return double(duration) / GST_SECOND;
}

} // namespace morvix::platform
