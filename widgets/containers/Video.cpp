#include "widgets/containers/Video.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/WireNumber.h"
#include "platform/net/Url.h"
#include "platform/ui/Animator.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/screens/MoviePlayer.h"
#include "widgets/containers/VideoViewController.h"
#include "widgets/delegating/DelegatingView.h"

#include <limits>

namespace morvix {

using platform::MoviePlayer;
using platform::Value;

namespace {

/// The speed each "playback" word applies; nothing for a word that only is stored.
std::optional<int> speedForPlayback(const std::string& playback)
{
    if (playback == "play" || playback == "pause" || playback == "stop")
        return 1;
    if (playback == "fast_forward")
        return 2;
    if (playback == "fast_backward")
        return -2;
    return std::nullopt;
}

constexpr EventDeclaration kPlaybackEvent {
    .listen = "Playback",
    .name = "Playback",
    .attributes = R"({"playback": string})",
    .note = "when the player changes to another mode: \"play\", \"pause\", \"stop\", \"fast_forward\", "
            "\"fast_backward\" or \"interrupt\", after \"speed\"; \"ready\" when the movie can play through; \"done\" "
            "when it has played to its end, after \"speed\"; \"error\" when loading stalls or the movie cannot play",
};
constexpr EventDeclaration kStalledPauseEvent {
    .name = "Playback",
    .attributes = R"({"playback": "error"})",
    .sentWithoutListen = true,
    .note = "when the player pauses because loading stalled",
};
constexpr EventDeclaration kPresentationEvent {
    .listen = "Presentation",
    .name = "Presentation",
    .attributes = R"({"presentation": string})",
    .note = "\"full_screen\" when the player enters full screen, \"embedded\" when it leaves it",
};
constexpr ReportDeclaration kSpeedReport {
    .name = "speed",
    .kind = "number",
    .note = "the playback rate last applied, with \"Playback\" of a mode or of \"done\"",
};

} // namespace

const WireTable& Video::wire()
{
    static const WireTable table = WireTable::extend(BasicWidget::wire())
                                       .event(kPlaybackEvent)
                                       .event(kStalledPauseEvent)
                                       .event(kPresentationEvent)
                                       .report(kSpeedReport);
    return table;
}

const PropertyTable& Video::properties()
{
    static const PropertyTable table = PropertyTable::extend<Video>(BasicWidget::properties())
                                           .string("url", &Video::setURL, &Video::url)
                                           .string("playback", &Video::setPlayback, &Video::playback)
                                           .number("speed", &Video::setSpeed, &Video::speed)
                                           .string("presentation", &Video::setPresentation, &Video::presentation)
                                           .boolean("repeat", &Video::setRepeat, &Video::isRepeat)
                                           .boolean("controls_visible", &Video::setControlsVisible, &Video::controlsVisible)
                                           .flag("playbackListener", &Video::m_playbackListener)
                                           .flag("presentationListener", &Video::m_presentationListener);
    return table;
}

const PropertyNames& Video::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicWidget::remoteObjectProperties(),
        { "enabled", "repeat", "url", "controls_visible", "playback", "presentation", "speed" });
    return names;
}

Video::Video(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_container(DelegatingView::create())
    , m_player(MoviePlayer::create())
    , m_viewController(VideoViewController::create(m_player))
{
    // The player's view is the controller's root view and fills the container.
    auto playerView = m_viewController->view();
    playerView->setTranslatesAutoresizingMaskIntoConstraints(false);
    m_container->addSubview(playerView);
    using platform::LayoutAttribute;
    for (auto attribute : { LayoutAttribute::Left, LayoutAttribute::Top, LayoutAttribute::Bottom, LayoutAttribute::Right })
        m_container->addConstraint(platform::LayoutConstraint::create(playerView, attribute, platform::LayoutRelation::Equal,
            m_container, attribute, 1.0, 0));

    m_player->setAllowsAirPlay(true);
    m_player->setScalingMode(platform::MovieScalingMode::AspectFit);
    forceBackgroundColors();
    setControlsVisible(true);
    m_player->setShouldAutoplay(false);
    setSpeed(Value(1));

    registerSelector(&Video::play, "play");
    registerSelector(&Video::pause, "pause");
    registerSelector(&Video::stop, "stop");
    registerSelector(&Video::stepToTime, "stepToTime");
}

Video::~Video() = default;

void Video::didConstruct()
{
    RemoteClass::didConstruct();
    m_container->setDelegate(std::static_pointer_cast<Video>(shared_from_this()));
    observePlayer();
}

std::shared_ptr<platform::View> Video::view() const
{
    return m_container;
}

void Video::observePlayer()
{
    // Each notification is handled one turn later, when the player's state has settled; the
    // task holds the widget weakly and does nothing once it is disposed.
    std::weak_ptr<Video> weak = std::static_pointer_cast<Video>(shared_from_this());
    auto later = [weak](auto handler) {
        return [weak, handler](const platform::Notification& notification) {
            Value userInfo = notification.userInfo;
            platform::MainLoop::main().postAfter(platform::Duration::zero(), [weak, handler, userInfo] {
                auto self = weak.lock();
                if (self && !self->isDisposed())
                    handler(*self, userInfo);
            });
        };
    };
    auto center = platform::NotificationCenter::defaultCenter();
    const void* sender = m_player.get();
    m_observers[0] = center->addObserver(std::string(MoviePlayer::kPlaybackStateDidChange), sender,
        later([](Video& self, const Value&) { self.playbackStateChanged(); }));
    m_observers[1] = center->addObserver(std::string(MoviePlayer::kLoadStateDidChange), sender,
        later([](Video& self, const Value&) { self.loadStateChanged(); }));
    m_observers[2] = center->addObserver(std::string(MoviePlayer::kPlaybackDidFinish), sender,
        later([](Video& self, const Value& userInfo) {
            self.playbackFinished(userInfo.is_object() ? userInfo.value("reason", 0) : 0);
        }));
    m_observers[3] = center->addObserver(std::string(MoviePlayer::kDidEnterFullscreen), sender,
        later([](Video& self, const Value&) { self.fullscreenChanged(true); }));
    m_observers[4] = center->addObserver(std::string(MoviePlayer::kDidExitFullscreen), sender,
        later([](Video& self, const Value&) { self.fullscreenChanged(false); }));
}

// MARK: Properties

std::optional<std::string> Video::url() const
{
    std::lock_guard lock(m_mutex);
    return m_url;
}

void Video::setURL(std::optional<std::string> url)
{
    {
        std::lock_guard lock(m_mutex);
        m_url = url;
    }
    if (!url) {
        m_player->setContentURL(std::nullopt);
        return;
    }
    auto movie = resolveMovie(*url);
    if (!movie) {
        // A movie that cannot be reached ends as one that cannot be played: the peer hears
        // "error", not silence, and the movie before it stops.
        m_player->failToLoad("the url \"" + *url + "\" names no movie the player may open");
        return;
    }
    m_player->setContentURL(std::move(*movie));
    m_player->prepareToPlay();
}

std::optional<std::string> Video::resolveMovie(const std::string& url) const
{
    auto client = this->client();
    std::optional<platform::Url> resolved = client ? client->relativeURLToServer(url) : std::nullopt;
    if (!resolved) {
        warn("cannot resolve the url \"" + url + "\"");
        return std::nullopt;
    }
    if (!resolved->isFileURL())
        return resolved->absoluteString();
    // A local movie is one more file the peer names: it is opened only inside the folders the
    // session may read, only when it is a regular file, and by its resolved path, so that no
    // link or escape takes the player elsewhere. Its size is no matter: the player streams it
    // and never holds it.
    auto http = client->httpClient();
    if (!http) {
        warn("no folder to look for the movie \"" + url + "\" in");
        return std::nullopt;
    }
    auto file = http->locateLocalFile(*resolved, std::numeric_limits<std::uint64_t>::max());
    if (!file)
        return std::nullopt;
    return platform::Url::fileURL(file.path).absoluteString();
}

void Video::warn(const std::string& message) const
{
    if (auto client = this->client())
        client->log(LogEntry("video " + objectId() + ": " + message, LogEntry::Type::Warning));
}

std::optional<std::string> Video::playback() const
{
    std::lock_guard lock(m_mutex);
    return m_playback;
}

void Video::setPlayback(std::optional<std::string> playback)
{
    {
        std::lock_guard lock(m_mutex);
        m_playback = playback;
    }
    if (!playback)
        return;
    auto speed = speedForPlayback(*playback);
    if (!speed)
        return;
    setSpeed(Value(*speed));
    actOnPlayer(*playback);
}

void Video::actOnPlayer(const std::string& playback)
{
    if (!speedForPlayback(playback))
        return;
    if (playback == "pause")
        m_player->pause();
    else if (playback == "stop")
        m_player->stop();
    else
        m_player->play();
}

void Video::setSpeed(std::optional<Value> speed)
{
    if (!speed)
        return;
    // The rate sizes how fast the stream is read: it is held to what the player can do.
    auto rate = platform::WireNumber::clampedNumber(*speed, -MoviePlayer::kMaximumRate, MoviePlayer::kMaximumRate);
    if (!rate)
        return;
    double asked = speed->is_boolean() ? double(speed->get<bool>()) : speed->get<double>();
    if (*rate != asked)
        warn("speed " + speed->dump() + " is held to " + std::to_string(*rate));
    if (platform::WireNumber::singlePrecision(*rate) == static_cast<float>(m_player->currentPlaybackRate()))
        return;
    m_player->setCurrentPlaybackRate(*rate);
    // A rate the stream refuses at once (backward, from a server without byte ranges) is not
    // the speed; the one it goes on at is.
    double applied = m_player->currentPlaybackRate();
    if (applied != *rate)
        m_speed = Value(applied);
    else
        m_speed = speed->is_number() && *rate == asked ? *speed : Value(*rate);
}

std::optional<std::string> Video::presentation() const
{
    return std::string(m_player->isFullscreen() ? "full_screen" : "embedded");
}

void Video::setPresentation(std::optional<std::string> presentation)
{
    m_fullscreen = presentation == "full_screen";
    m_player->setFullscreen(m_fullscreen, platform::Animated::Yes);
    updateControlStyle();
}

bool Video::isRepeat() const
{
    return m_player->repeatMode() == platform::MovieRepeatMode::One;
}

void Video::setRepeat(bool repeat)
{
    m_player->setRepeatMode(repeat ? platform::MovieRepeatMode::One : platform::MovieRepeatMode::None);
}

void Video::setControlsVisible(bool visible)
{
    m_controlsVisible = visible;
    auto style = m_fullscreen ? platform::MovieControlStyle::Fullscreen
        : visible             ? platform::MovieControlStyle::Embedded
                              : platform::MovieControlStyle::None;
    if (m_player->controlStyle() != style)
        m_player->setControlStyle(style);
}

void Video::updateControlStyle()
{
    setControlsVisible(m_controlsVisible);
}

void Video::setBackground(std::optional<platform::Color> color)
{
    RemoteClass::setBackground(color);
    forceBackgroundColors();
}

void Video::forceBackgroundColors()
{
    auto& animator = platform::Animator::shared();
    animator.begin(std::string(kBackgroundAnimation));
    animator.setDuration(kBackgroundAnimationDuration);
    auto color = background();
    auto playerView = m_player->view();
    playerView->setBackgroundColor(color);
    m_player->backgroundView()->setBackgroundColor(color);
    for (const auto& subview : playerView->subviews())
        subview->setBackgroundColor(color);
    animator.commit();
}

platform::Size Video::intrinsicContentSize()
{
    platform::Size size = m_player->naturalSize();
    if (size.width == 0 && size.height == 0)
        return { platform::View::kNoIntrinsicMetric, platform::View::kNoIntrinsicMetric };
    return size;
}

// MARK: Calls

void Video::play(const Value*)
{
    setPlayback("play");
}

void Video::pause(const Value*)
{
    setPlayback("pause");
}

void Video::stop(const Value*)
{
    setPlayback("stop");
}

void Video::stepToTime(const Value* properties)
{
    if (!properties || !properties->is_object())
        return;
    auto time = properties->find("time");
    if (time == properties->end())
        return;
    auto seconds = platform::WireNumber::clampedNumber(*time, 0, platform::WireNumber::kMaximumDelaySeconds);
    if (seconds)
        m_player->setCurrentPlaybackTime(*seconds);
}

// MARK: The player's notifications

void Video::sendPlayback(const EventDeclaration& event, const std::string& mode, bool withSpeed)
{
    auto notification = notificationForObject();
    if (!notification)
        return;
    if (withSpeed)
        notification->report(kSpeedReport, m_speed.value_or(Value(nullptr)));
    notification->fire(event, Value { { "playback", mode } });
}

void Video::reportMode(const std::string& mode)
{
    if (playback() == mode)
        return;
    // The mode is the player's own account of a rate it already has (1.5 is "fast_forward",
    // 0.5 "play"): it is stored and acted on, but the rate the table names for it would undo
    // the peer's "speed".
    {
        std::lock_guard lock(m_mutex);
        m_playback = mode;
    }
    actOnPlayer(mode);
    if (m_playbackListener)
        sendPlayback(kPlaybackEvent, mode, true);
}

void Video::playbackStateChanged()
{
    switch (m_player->playbackState()) {
    case platform::MoviePlaybackState::Playing:
        return reportMode("play");
    case platform::MoviePlaybackState::Stopped:
        return reportMode("stop");
    case platform::MoviePlaybackState::SeekingForward:
        return reportMode("fast_forward");
    case platform::MoviePlaybackState::SeekingBackward:
        return reportMode("fast_backward");
    case platform::MoviePlaybackState::Interrupted:
        return reportMode("interrupt");
    case platform::MoviePlaybackState::Paused:
        // A pause while stalled is the one report sent whether or not it is listened.
        if (m_player->loadState() & platform::MovieLoadStateStalled)
            return sendPlayback(kStalledPauseEvent, "error", false);
        return reportMode("pause");
    }
}

void Video::loadStateChanged()
{
    if (!m_playbackListener)
        return;
    unsigned state = m_player->loadState();
    // A stall is reported and ends the handling; the player itself is left as it is.
    if (state & platform::MovieLoadStateStalled)
        return sendPlayback(kPlaybackEvent, "error", false);
    if (!(state & platform::MovieLoadStatePlaythroughOK))
        return;
    sendPlayback(kPlaybackEvent, "ready", false);
    // A "play" asked for before the movie could play takes effect now, at the rate the player
    // has, which is the one asked for since.
    if (auto stored = playback())
        actOnPlayer(*stored);
}

void Video::playbackFinished(int reason)
{
    m_fullscreen = false;
    m_player->setFullscreen(false, platform::Animated::No);
    bool ended = reason == static_cast<int>(platform::MovieFinishReason::PlaybackEnded);
    bool stopped = playback() == "stop";
    // The player stops at the end of the movie, just after this: "done" tells the peer so, and
    // the stop stored now is not reported again as "stop".
    if (ended) {
        std::lock_guard lock(m_mutex);
        m_playback = "stop";
    }
    if (!m_playbackListener)
        return;
    // A movie that could not be loaded or played is reported as the failure it is, not as done.
    if (reason == static_cast<int>(platform::MovieFinishReason::PlaybackError))
        return sendPlayback(kPlaybackEvent, "error", false);
    if (!stopped && m_player->contentURL())
        sendPlayback(kPlaybackEvent, "done", true);
}

void Video::fullscreenChanged(bool entered)
{
    m_fullscreen = entered;
    if (!entered)
        forceBackgroundColors();
    updateControlStyle();
    if (!m_presentationListener)
        return;
    if (auto notification = notificationForObject())
        notification->fire(kPresentationEvent, Value { { "presentation", entered ? "full_screen" : "embedded" } });
}

// MARK: Destruction

void Video::destroy()
{
    if (isDisposed())
        return;
    for (auto& observer : m_observers)
        observer.reset();
    m_player->stop();
    m_player->setFullscreen(false, platform::Animated::No);
    RemoteClass::destroy();
}

} // namespace morvix
