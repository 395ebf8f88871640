#pragma once
// The controller that holds a video widget's movie player.

#include "platform/ui/ViewController.h"

#include <memory>

namespace morvix {

namespace platform {
class MoviePlayer;
}

/// Owns a movie player and shows its view as the root view. While the player is in full
/// screen, the controller keeps its disappearance to itself: the full-screen presentation is
/// not the controller leaving. Main thread only.
class VideoViewController final : public platform::ViewController {
public:
    static std::shared_ptr<VideoViewController> create(std::shared_ptr<platform::MoviePlayer> player);
    ~VideoViewController() override;

    const char* className() const override { return "VideoViewController"; }
    const std::shared_ptr<platform::MoviePlayer>& moviePlayerController() const { return m_player; }

    /// The player's view.
    void loadView() override;
    /// The base's behaviour only while the player is not in full screen.
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    explicit VideoViewController(std::shared_ptr<platform::MoviePlayer> player);

    std::shared_ptr<platform::MoviePlayer> m_player;
};

} // namespace morvix
