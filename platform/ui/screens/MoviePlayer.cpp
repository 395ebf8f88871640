#include "platform/ui/screens/MoviePlayer.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>

namespace morvix::platform {

namespace {

const Color kBoxFill = Color::fromRGBA(0.12f, 0.12f, 0.12f);
const Color kLightLabel = Color::fromRGBA(0.85f, 0.85f, 0.85f);
const Color kDarkLabel = Color::fromRGBA(0.3f, 0.3f, 0.3f);
constexpr double kLabelSize = 12;
constexpr double kLabelInset = 6;

MoviePlayer::Decoding s_decoding = MoviePlayer::Decoding::On;

MoviePipeline::Direction directionOf(double rate)
{
    return rate < 0 ? MoviePipeline::Direction::Backward : MoviePipeline::Direction::Forward;
}

/// The scheme of `url` in lower case, when it is one followed by "://"; empty otherwise.
std::string schemeOf(const std::string& url)
{
    auto colon = url.find(':');
    if (colon == std::string::npos || url.compare(colon, 3, "://") != 0)
        return {};
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return scheme;
}

/// Where a picture of `natural` size goes in `box` under `mode`.
Rect pictureRect(Size natural, const Rect& box, MovieScalingMode mode)
{
    if (natural.width <= 0 || natural.height <= 0)
        return box;
    double scale = 1;
    switch (mode) {
    case MovieScalingMode::Fill:
        return box;
    case MovieScalingMode::None:
        break;
    case MovieScalingMode::AspectFit:
        scale = std::min(box.width() / natural.width, box.height() / natural.height);
        break;
    case MovieScalingMode::AspectFill:
        scale = std::max(box.width() / natural.width, box.height() / natural.height);
        break;
    }
    double width = natural.width * scale;
    double height = natural.height * scale;
    return { box.x() + (box.width() - width) / 2, box.y() + (box.height() - height) / 2, width, height };
}

std::string_view controlStyleName(MovieControlStyle style)
{
    switch (style) {
    case MovieControlStyle::None:
        return "no controls";
    case MovieControlStyle::Embedded:
        return "embedded controls";
    case MovieControlStyle::Fullscreen:
        return "full-screen controls";
    }
    return "";
}

/// What the player shows of its movie, above its background view: the current picture over a
/// box, dark unless the player's owner colours it; before the first picture the box names the
/// movie and the playback state.
class MovieContentView final : public View {
public:
    static std::shared_ptr<MovieContentView> create(const std::shared_ptr<MoviePlayer>& player)
    {
        auto view = std::shared_ptr<MovieContentView>(new MovieContentView());
        view->m_player = player;
        return view;
    }
    const char* className() const override { return "MovieContentView"; }
    bool hasCustomDrawing() const override { return true; }

    void draw(GraphicsContext& context, const Rect&) override
    {
        auto player = m_player.lock();
        if (!player)
            return;
        Rect box = bounds();
        Color fill = backgroundColor().value_or(kBoxFill);
        context.setFillColor(fill);
        context.fillRect(box);
        if (const auto& frame = player->currentFrame()) {
            context.save();
            context.clipToRect(box);
            context.setInterpolation(Interpolation::Medium);
            context.drawImage(*frame, pictureRect(frame->size(), box, player->scalingMode()));
            context.restore();
            return;
        }
        std::string text = "MoviePlayer: " + player->contentURL().value_or("(no movie)") + "\n"
            + std::string(playbackStateName(player->playbackState())) + ", " + std::string(controlStyleName(player->controlStyle()))
            + (player->isFullscreen() ? ", full screen" : "");
        bool dark = fill.alpha < 0.5f || 0.3f * fill.red + 0.59f * fill.green + 0.11f * fill.blue < 0.5f;
        // The URL is the peer's: only the lines the box has room for are laid out.
        TextLayout::Options options;
        options.wrapWidth = box.width() - 2 * kLabelInset;
        options.lineLimit = int(std::clamp((box.height() - kLabelInset) / kLabelSize, 1.0, 1000.0));
        options.truncation = TextTruncation::Tail;
        AttributedString label(text, { .font = Font::system(kLabelSize), .foregroundColor = dark ? kLightLabel : kDarkLabel });
        context.save();
        context.clipToRect(box);
        context.drawText(label, options, { box.x() + kLabelInset, box.y() + kLabelInset });
        context.restore();
    }

private:
    MovieContentView()
        : View(Rect {})
    {
    }
    std::weak_ptr<MoviePlayer> m_player;
};

} // namespace

std::string_view playbackStateName(MoviePlaybackState state)
{
    switch (state) {
    case MoviePlaybackState::Stopped:
        return "stopped";
    case MoviePlaybackState::Playing:
        return "playing";
    case MoviePlaybackState::Paused:
        return "paused";
    case MoviePlaybackState::Interrupted:
        return "interrupted";
    case MoviePlaybackState::SeekingForward:
        return "seeking forward";
    case MoviePlaybackState::SeekingBackward:
        return "seeking backward";
    }
    return "";
}

std::shared_ptr<MoviePlayer> MoviePlayer::create()
{
    auto player = std::shared_ptr<MoviePlayer>(new MoviePlayer());
    player->m_decoding = s_decoding;
    player->m_view = View::create(Rect {});
    player->m_backgroundView = View::create(Rect {});
    player->m_contentView = MovieContentView::create(player);
    for (const auto& layer : { player->m_backgroundView, player->m_contentView }) {
        layer->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        player->m_view->addSubview(layer);
    }
    return player;
}

MoviePlayer::~MoviePlayer()
{
    if (m_fullscreenTimer)
        MainLoop::main().cancel(m_fullscreenTimer);
}

void MoviePlayer::setDecodingForTesting(Decoding decoding)
{
    s_decoding = decoding;
}

void MoviePlayer::record(Request request)
{
    if (m_requests.size() >= kRequestHistory)
        m_requests.erase(m_requests.begin());
    m_requests.push_back(request);
}

void MoviePlayer::post(std::string_view name, Value userInfo)
{
    NotificationCenter::defaultCenter()->post(std::string(name), this, std::move(userInfo), shared_from_this());
}

void MoviePlayer::changed()
{
    m_contentView->setNeedsDisplay();
}

// MARK: The movie

void MoviePlayer::setContentURL(std::optional<std::string> url)
{
    dropMovie();
    m_contentURL = std::move(url);
    m_playbackState = MoviePlaybackState::Stopped;
    m_loadState = 0;
    m_naturalSize = {};
    changed();
}

void MoviePlayer::failToLoad(std::string reason)
{
    setContentURL(std::nullopt);
    failLater(std::move(reason));
}

void MoviePlayer::dropMovie()
{
    m_pipeline.reset();
    ++m_movie;
    m_intent = Intent::Stopped;
    m_reached = MoviePipelineEvent::State::Null;
    m_prerolled = false;
    m_buffering = false;
    m_refill = Refill::None;
    m_appliedRate = 1;
    m_pendingTime.reset();
    m_time = 0;
    m_frame.reset();
    m_lastError.clear();
    m_failed = false;
}

bool MoviePlayer::ensurePipeline()
{
    if (m_pipeline)
        return true;
    if (!m_contentURL || m_failed || m_decoding == Decoding::Off)
        return false;
    std::string scheme = schemeOf(*m_contentURL);
    if (scheme != "file" && scheme != "http" && scheme != "https") {
        failLater("the movie player opens file, http and https URLs, not \"" + *m_contentURL + "\"");
        return false;
    }
    std::string error;
    // Files were checked by whoever named them; what comes over the network is counted.
    m_pipeline = MoviePipeline::create(*m_contentURL, *this, &error, scheme == "file" ? 0 : m_maximumStreamSize);
    if (!m_pipeline) {
        failLater(std::move(error));
        return false;
    }
    return true;
}

void MoviePlayer::failLater(std::string reason)
{
    // A movie fails once: requests after the failure find no pipeline and post nothing more.
    m_failed = true;
    m_lastError = reason;
    systemLog("movie player: " + reason);
    std::weak_ptr<MoviePlayer> weak = weak_from_this();
    MainLoop::main().post([weak, movie = m_movie] {
        auto self = weak.lock();
        if (!self || self->m_movie != movie)
            return;
        self->post(kPlaybackDidFinish, Value { { "reason", static_cast<int>(MovieFinishReason::PlaybackError) } });
    });
}

// MARK: Requests

void MoviePlayer::prepareToPlay()
{
    record(Request::PrepareToPlay);
    if (!ensurePipeline() || m_intent != Intent::Stopped)
        return;
    m_intent = Intent::Prepared;
    m_pipeline->setState(MoviePipelineEvent::State::Paused);
    updatePlaybackState();
}

void MoviePlayer::play()
{
    record(Request::Play);
    if (!ensurePipeline())
        return;
    if (m_rate == 0)
        m_rate = 1;
    m_intent = Intent::Playing;
    // While the stream fills its buffer the pipeline waits paused; it plays when it is full.
    m_pipeline->setState(m_buffering ? MoviePipelineEvent::State::Paused : MoviePipelineEvent::State::Playing);
    applyRate();
    updatePlaybackState();
}

void MoviePlayer::pause()
{
    record(Request::Pause);
    if (!ensurePipeline())
        return;
    m_intent = Intent::Paused;
    m_pipeline->setState(MoviePipelineEvent::State::Paused);
    updatePlaybackState();
}

void MoviePlayer::stop()
{
    record(Request::Stop);
    m_intent = Intent::Stopped;
    m_time = 0;
    m_pendingTime.reset();
    if (m_pipeline)
        rewind();
    updatePlaybackState();
}

void MoviePlayer::rewind()
{
    // Ready keeps the stream's description but drops its data and position: the next request
    // starts from the beginning, and the buffer it fills first is no stall.
    m_pipeline->setState(MoviePipelineEvent::State::Ready);
    m_reached = MoviePipelineEvent::State::Ready;
    m_prerolled = false;
    m_buffering = false;
    m_refill = Refill::Seeking;
    m_appliedRate = 1;
}

bool MoviePlayer::seek(double seconds, MoviePipeline::Direction direction)
{
    if (!m_pipeline->seek(seconds, direction))
        return false;
    // A seek empties the stream's buffer: refilling it is the player's doing, not a stall.
    m_refill = Refill::Seeking;
    return true;
}

void MoviePlayer::setCurrentPlaybackRate(double rate)
{
    if (!std::isfinite(rate))
        return;
    m_rate = std::clamp(rate, -kMaximumRate, kMaximumRate);
    if (m_rate == 0) {
        if (m_intent == Intent::Playing)
            pause();
        return;
    }
    applyRate();
    updatePlaybackState();
}

void MoviePlayer::applyRate()
{
    double rate = m_rate == 0 ? 1 : m_rate;
    if (!m_pipeline || !m_prerolled || rate == m_appliedRate)
        return;
    // Only a turn needs a seek; faster or slower is the pipeline's pace, where the stream is,
    // so that a stream that cannot seek goes on playing. A turn starts from where the stream
    // is, which is not known while a seek is on its way: it waits for that seek's preroll.
    if ((rate > 0) != (m_appliedRate > 0)) {
        if (m_refill == Refill::Seeking && m_pipeline->canSeek())
            return;
        auto position = m_pipeline->position();
        if (!position || !seek(*position, directionOf(rate))) {
            systemLog("movie player: the stream refuses the rate " + std::to_string(rate) + "; it plays at " + std::to_string(m_appliedRate));
            m_rate = m_appliedRate;
            return;
        }
    }
    m_pipeline->setSpeed(std::abs(rate));
    m_appliedRate = rate;
}

double MoviePlayer::currentPlaybackTime() const
{
    if (m_pipeline && m_prerolled && !m_pendingTime) {
        if (auto position = m_pipeline->position())
            return *position;
    }
    return m_pendingTime.value_or(m_time);
}

void MoviePlayer::setCurrentPlaybackTime(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    seconds = std::max(seconds, 0.0);
    if (double length = duration(); length > 0)
        seconds = std::min(seconds, length);
    if (m_pipeline && m_prerolled && !m_pipeline->canSeek()) {
        // A seek would end the movie: its server would send all of it again.
        systemLog("movie player: the stream cannot seek (its server serves no byte ranges); it stays where it is");
        return;
    }
    m_time = seconds;
    if (m_pipeline && m_prerolled && seek(seconds, directionOf(m_appliedRate)))
        return;
    m_pendingTime = seconds;
}

double MoviePlayer::duration() const
{
    if (!m_pipeline || !m_prerolled)
        return 0;
    return m_pipeline->duration().value_or(0);
}

void MoviePlayer::setControlStyle(MovieControlStyle style)
{
    m_controlStyle = style;
    changed();
}

void MoviePlayer::setScalingMode(MovieScalingMode mode)
{
    m_scalingMode = mode;
    changed();
}

// MARK: What the stream reports

void MoviePlayer::pipelineEvent(const MoviePipelineEvent& event)
{
    using Kind = MoviePipelineEvent::Kind;
    switch (event.kind) {
    case Kind::StateChanged:
        m_reached = event.state;
        return updatePlaybackState();
    case Kind::Prerolled:
        return prerolled();
    case Kind::Buffering:
        return buffering(event.percent);
    case Kind::Ended:
        return ended();
    case Kind::Failed:
        return failed(event.text);
    case Kind::Frame:
        return showFrame(event.frame);
    }
}

void MoviePlayer::prerolled()
{
    // At the new place: the refill ends with the buffer full, which it may be already.
    if (m_refill == Refill::Seeking)
        m_refill = m_buffering ? Refill::Filling : Refill::None;
    if (!m_prerolled) {
        m_prerolled = true;
        // A stream started again keeps the play-through it had.
        if (!(m_loadState & MovieLoadStatePlaythroughOK))
            setLoadState(m_buffering ? MovieLoadStatePlayable : MovieLoadStatePlayable | MovieLoadStatePlaythroughOK);
    }
    // An observer of the load state may have dropped the movie.
    if (!m_pipeline)
        return;
    if (m_pendingTime) {
        double length = duration();
        double seconds = length > 0 ? std::min(*m_pendingTime, length) : *m_pendingTime;
        m_pendingTime.reset();
        // The rate follows on the preroll at the new place.
        if (seek(seconds, directionOf(m_appliedRate)))
            return;
    }
    applyRate();
    updatePlaybackState();
}

void MoviePlayer::buffering(int percent)
{
    if (percent < 100) {
        if (!m_buffering && m_intent == Intent::Playing)
            m_pipeline->setState(MoviePipelineEvent::State::Paused);
        m_buffering = true;
        // Only a stream that could play through stalls; one still filling at the start is not
        // yet ready, and one the player emptied is refilling.
        if ((m_loadState & MovieLoadStatePlaythroughOK) && m_refill == Refill::None)
            setLoadState(MovieLoadStatePlayable | MovieLoadStateStalled);
        return;
    }
    if (m_buffering && m_intent == Intent::Playing)
        m_pipeline->setState(MoviePipelineEvent::State::Playing);
    m_buffering = false;
    // A buffer full before the stream is at the new place may be emptied again on the way.
    if (m_refill == Refill::Filling)
        m_refill = Refill::None;
    if (m_prerolled)
        setLoadState(MovieLoadStatePlayable | MovieLoadStatePlaythroughOK);
}

void MoviePlayer::ended()
{
    if (m_repeatMode == MovieRepeatMode::One) {
        if (seek(m_appliedRate < 0 ? duration() : 0, directionOf(m_appliedRate)))
            return;
        // A stream that cannot seek is read again from its start (the rate is applied again
        // once it has prerolled).
        if (!m_pipeline->canSeek()) {
            rewind();
            m_pipeline->setState(MoviePipelineEvent::State::Playing);
            return;
        }
    }
    m_intent = Intent::Stopped;
    m_time = 0;
    post(kPlaybackDidFinish, Value { { "reason", static_cast<int>(MovieFinishReason::PlaybackEnded) } });
    // An observer of the finish may have changed the movie already.
    if (m_intent != Intent::Stopped || !m_pipeline)
        return;
    rewind();
    updatePlaybackState();
}

void MoviePlayer::failed(std::string reason)
{
    // The pipeline that reported goes now; its last report is this one.
    m_pipeline.reset();
    m_failed = true;
    m_lastError = reason;
    systemLog("movie player: " + reason);
    m_intent = Intent::Stopped;
    m_prerolled = false;
    m_buffering = false;
    m_refill = Refill::None;
    post(kPlaybackDidFinish, Value { { "reason", static_cast<int>(MovieFinishReason::PlaybackError) } });
    updatePlaybackState();
}

void MoviePlayer::showFrame(std::shared_ptr<Image> frame)
{
    Size size = frame->size();
    m_frame = std::move(frame);
    changed();
    if (size == m_naturalSize)
        return;
    m_naturalSize = size;
    post(kNaturalSizeAvailable);
}

void MoviePlayer::setLoadState(unsigned loadState)
{
    if (loadState == m_loadState)
        return;
    m_loadState = loadState;
    post(kLoadStateDidChange);
}

void MoviePlayer::updatePlaybackState()
{
    MoviePlaybackState state = m_playbackState;
    switch (m_intent) {
    case Intent::Stopped:
    case Intent::Prepared:
        state = MoviePlaybackState::Stopped;
        break;
    case Intent::Paused:
        state = MoviePlaybackState::Paused;
        break;
    case Intent::Playing:
        // Until the stream plays (and while it waits for its buffer) the state stays.
        if (m_reached == MoviePipelineEvent::State::Playing) {
            state = m_rate > 1 ? MoviePlaybackState::SeekingForward
                : m_rate < 0   ? MoviePlaybackState::SeekingBackward
                               : MoviePlaybackState::Playing;
        }
        break;
    }
    if (state == m_playbackState)
        return;
    m_playbackState = state;
    changed();
    post(kPlaybackStateDidChange);
}

// MARK: Full screen

void MoviePlayer::setFullscreen(bool fullscreen, Animated animated)
{
    if (fullscreen == m_fullscreen)
        return;
    m_fullscreen = fullscreen;
    changed();
    if (m_fullscreenTimer)
        MainLoop::main().cancel(m_fullscreenTimer);
    Duration delay = animated == Animated::Yes
        ? std::chrono::round<Duration>(std::chrono::duration<double>(kFullscreenTransition))
        : Duration::zero();
    std::weak_ptr<MoviePlayer> weak = weak_from_this();
    m_fullscreenTimer = MainLoop::main().postAfter(delay, [weak, fullscreen] {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_fullscreenTimer = 0;
        self->post(fullscreen ? kDidEnterFullscreen : kDidExitFullscreen);
    });
}

// MARK: Drivers

void MoviePlayer::drivePlaybackState(MoviePlaybackState state)
{
    m_playbackState = state;
    changed();
    post(kPlaybackStateDidChange);
}

void MoviePlayer::driveLoadState(unsigned loadState)
{
    m_loadState = loadState;
    post(kLoadStateDidChange);
}

void MoviePlayer::driveFinished(MovieFinishReason reason)
{
    post(kPlaybackDidFinish, Value { { "reason", static_cast<int>(reason) } });
}

void MoviePlayer::driveNaturalSize(Size size)
{
    m_naturalSize = size;
    post(kNaturalSizeAvailable);
}

void MoviePlayer::driveUserFullscreen(bool fullscreen)
{
    if (m_fullscreenTimer)
        MainLoop::main().cancel(m_fullscreenTimer);
    m_fullscreenTimer = 0;
    m_fullscreen = fullscreen;
    changed();
    post(fullscreen ? kDidEnterFullscreen : kDidExitFullscreen);
}

} // namespace morvix::platform
