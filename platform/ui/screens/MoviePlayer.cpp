#include "platform/ui/screens/MoviePlayer.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/ui/View.h"

#include <chrono>

namespace morvix::platform {

namespace {

const Color kBoxFill = Color::fromRGBA(0.12f, 0.12f, 0.12f);
const Color kLightLabel = Color::fromRGBA(0.85f, 0.85f, 0.85f);
const Color kDarkLabel = Color::fromRGBA(0.3f, 0.3f, 0.3f);
constexpr double kLabelSize = 12;
constexpr double kLabelInset = 6;

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

/// What the player shows of its movie, above its background view: a box, dark unless the
/// player's owner colours it, naming the movie and the playback state.
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
        std::string text = "MoviePlayer: " + player->contentURL().value_or("(no movie)") + "\n"
            + std::string(playbackStateName(player->playbackState())) + ", " + std::string(controlStyleName(player->controlStyle()))
            + (player->isFullscreen() ? ", full screen" : "");
        bool dark = fill.alpha < 0.5f || 0.3f * fill.red + 0.59f * fill.green + 0.11f * fill.blue < 0.5f;
        TextLayout::Options options;
        options.wrapWidth = box.width() - 2 * kLabelInset;
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

void MoviePlayer::record(Request request)
{
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

void MoviePlayer::setContentURL(std::optional<std::string> url)
{
    m_contentURL = std::move(url);
    m_playbackState = MoviePlaybackState::Stopped;
    m_loadState = 0;
    m_naturalSize = {};
    changed();
}

void MoviePlayer::setControlStyle(MovieControlStyle style)
{
    m_controlStyle = style;
    changed();
}

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
