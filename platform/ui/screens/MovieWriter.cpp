#include "platform/ui/screens/MovieWriter.h"

#include "platform/ui/screens/MoviePipeline.h"

#include <gst/gst.h>

namespace morvix::platform {

namespace {

const char* patternName(MovieWriter::Pattern pattern)
{
    switch (pattern) {
    case MovieWriter::Pattern::Bars:
        return "smpte";
    case MovieWriter::Pattern::Red:
        return "red";
    case MovieWriter::Pattern::Green:
        return "green";
    case MovieWriter::Pattern::Blue:
        return "blue";
    case MovieWriter::Pattern::White:
        return "white";
    case MovieWriter::Pattern::Black:
        return "black";
    case MovieWriter::Pattern::Ball:
        return "ball";
    }
    return "smpte";
}

constexpr int kSoundRate = 48000;

std::string description(const MovieWriter::Options& options)
{
    std::string text = "videotestsrc num-buffers=" + std::to_string(options.frames) + " pattern=" + patternName(options.pattern)
        + " ! video/x-raw,format=I420,width=" + std::to_string(options.width) + ",height=" + std::to_string(options.height)
        + ",framerate=" + std::to_string(options.framesPerSecond) + "/1,pixel-aspect-ratio=1/1"
        + " ! vp8enc deadline=1 target-bitrate=400000 ! queue ! mux. webmmux name=mux ! filesink name=out";
    if (options.sound == MovieWriter::Sound::Tone) {
        // One buffer of sound for each picture, so that both tracks end together.
        text += " audiotestsrc num-buffers=" + std::to_string(options.frames) + " samplesperbuffer="
            + std::to_string(kSoundRate / options.framesPerSecond) + " ! audio/x-raw,rate=" + std::to_string(kSoundRate)
            + ",channels=1 ! audioconvert ! vorbisenc ! queue ! mux.";
    }
    return text;
}

std::optional<std::string> run(GstElement* pipeline)
{
    GstBus* bus = gst_element_get_bus(pipeline);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_object_unref(bus);
        return "the writing pipeline does not start";
    }
    GstMessage* message = gst_bus_timed_pop_filtered(bus, GstClockTime(MovieWriter::kTimeoutSeconds) * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    std::optional<std::string> failure;
    if (!message) {
        failure = "the movie was not written within " + std::to_string(MovieWriter::kTimeoutSeconds) + " s";
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        failure = std::string("writing the movie failed: ") + (error ? error->message : "unknown error");
        if (error)
            g_error_free(error);
    }
    if (message)
        gst_message_unref(message);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    return failure;
}

} // namespace

std::optional<std::string> MovieWriter::write(const std::string& path, const Options& options)
{
    if (options.width < 16 || options.height < 16 || options.width > MoviePipeline::kMaximumSide
        || options.height > MoviePipeline::kMaximumSide)
        return "a movie's sides are 16 to " + std::to_string(MoviePipeline::kMaximumSide) + " pixels";
    if (options.frames < 1 || options.frames > 100000 || options.framesPerSecond < 1 || options.framesPerSecond > 120)
        return "a movie has 1 to 100000 pictures at 1 to 120 a second";
    std::string error;
    if (!MoviePipeline::initialize(&error))
        return error;
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(description(options).c_str(), &parseError);
    if (!pipeline || parseError) {
        std::string reason = parseError && parseError->message ? parseError->message : "the writing pipeline cannot be made";
        if (parseError)
            g_error_free(parseError);
        if (pipeline)
            gst_object_unref(pipeline);
        return reason;
    }
    // The path is set as a property, not written into the description, so that no character of
    // it is read as pipeline syntax.
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(sink, "location", path.c_str(), nullptr);
    gst_object_unref(sink);
    auto failure = run(pipeline);
    gst_object_unref(pipeline);
    return failure;
}

} // namespace morvix::platform
