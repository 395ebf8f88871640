#pragma once
// "morvix.widgets.Video": a movie from a URL, embedded or in full screen.

#include "platform/foundation/NotificationCenter.h"
#include "widgets/foundation/BasicWidget.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingView;
class VideoViewController;

namespace platform {
class MoviePlayer;
}

/// Plays a movie (its "url" resolved against the server) with the platform's movie player,
/// whose view fills the widget's container view.
///
/// - "playback" stores the word and drives the player: "play" (speed 1, play), "pause" (1,
///   pause), "stop" (1, stop), "fast_forward" (2, play), "fast_backward" (-2, play); any other
///   word is only stored. The calls "play", "pause" and "stop" do the same as setting it;
///   "stepToTime" {"time": seconds} moves the playback position (other keys are ignored).
/// - "speed" is compared, as a 32-bit float, with the player's rate: an equal one changes
///   nothing, not even the stored value.
/// - "presentation" "full_screen" takes the player to full screen (animated), anything else
///   back; "presentation" and "repeat" read the player. The control style is the full-screen one
///   in full screen, else embedded or none by "controls_visible".
/// - The player's five notifications are handled one main-loop turn after they arrive, reading
///   the player's state then. A playback state other than the stored "playback" is stored, its
///   player action taken (not its speed: the rate the peer set holds) and, when "Playback" is
///   listened, reported with the property "speed" first. A pause while stalled reports "error"
///   whether listened or not. A stalled load state reports "error" (listened only) and nothing
///   more; play-through reports "ready" (listened only) and takes the stored "playback"'s
///   player action again. A finish leaves full screen and reports "done" when listened,
///   "playback" is not "stop" and the player has a movie; a finish for an error reports
///   "error" instead, whenever listened. A finish at the movie's end stores "stop", so that
///   the player's stop after it is not reported again. Full screen entered or left reports
///   "Presentation" when listened.
/// - "url": resolved against the server; a local file is opened only inside the session's
///   readable folders, as a regular file of any size (the player streams it). A "url" that
///   resolves to nothing the player may open (logged) stops the movie before it and ends as a
///   movie that cannot be played: "error" when "Playback" is listened, as for a stream the
///   player cannot decode.
/// - "speed" is held to the player's rates ([-16, 16], logged when held); "stepToTime" to
///   [0, the longest delay a peer may ask for].
/// - `destroy` stops observing first, so that it reports nothing, then stops the player and
///   leaves full screen without animation.
///
/// Main thread only; "url" and "playback" are stored under the widget's mutex.
class Video final : public RemoteClass<Video, BasicWidget>, public ViewDelegate::IntrinsicSize {
public:
    static constexpr std::string_view kRemoteType = "morvix.widgets.Video";
    static constexpr std::string_view kBackgroundAnimation = "video.backgroundcolor";
    static constexpr double kBackgroundAnimationDuration = 0.75;

    static const PropertyTable& properties();
    /// "Playback", "Presentation" and "speed".
    static const WireTable& wire();
    /// `BasicWidget`'s names plus "enabled", "repeat", "url", "controls_visible", "playback",
    /// "presentation", "speed".
    static const PropertyNames& remoteObjectProperties();

    Video(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Video() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<platform::MoviePlayer>& player() const { return m_player; }
    const std::shared_ptr<VideoViewController>& viewController() const { return m_viewController; }

    std::optional<std::string> url() const;
    void setURL(std::optional<std::string> url);
    std::optional<std::string> playback() const;
    void setPlayback(std::optional<std::string> playback);
    const std::optional<platform::Value>& speed() const { return m_speed; }
    void setSpeed(std::optional<platform::Value> speed);
    std::optional<std::string> presentation() const;
    void setPresentation(std::optional<std::string> presentation);
    bool isRepeat() const;
    void setRepeat(bool repeat);
    bool controlsVisible() const { return m_controlsVisible; }
    void setControlsVisible(bool visible);

    /// The base's handling, then the player's views take the colour.
    void setBackground(std::optional<platform::Color> color) override;
    /// The player's natural size; none in either direction for 0 x 0.
    platform::Size intrinsicContentSize() override;
    void destroy() override;

protected:
    void didConstruct() override;

private:
    void play(const platform::Value* properties);
    void pause(const platform::Value* properties);
    void stop(const platform::Value* properties);
    void stepToTime(const platform::Value* properties);

    /// The URL the player may open for `url`: resolved against the server, and for a local
    /// file, confined to the session's readable folders. Nothing (logged) when there is none.
    std::optional<std::string> resolveMovie(const std::string& url) const;
    void warn(const std::string& message) const;
    void observePlayer();
    void forceBackgroundColors();
    void updateControlStyle();
    void sendPlayback(const EventDeclaration& event, const std::string& mode, bool withSpeed);
    void reportMode(const std::string& mode);
    /// The player action the "playback" table names for `playback`; nothing for other words.
    void actOnPlayer(const std::string& playback);
    void playbackStateChanged();
    void loadStateChanged();
    void playbackFinished(int reason);
    void fullscreenChanged(bool entered);

    std::shared_ptr<DelegatingView> m_container;
    std::shared_ptr<platform::MoviePlayer> m_player;
    std::shared_ptr<VideoViewController> m_viewController;
    mutable std::mutex m_mutex; // guards m_url and m_playback
    std::optional<std::string> m_url;
    std::optional<std::string> m_playback;
    std::optional<platform::Value> m_speed;
    bool m_controlsVisible = true;
    bool m_fullscreen = false;
    bool m_playbackListener = false;
    bool m_presentationListener = false;
    std::array<platform::ObserverToken, 5> m_observers;
};

} // namespace morvix
