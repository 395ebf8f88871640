#include "widgets/containers/VideoViewController.h"

#include "platform/ui/View.h"
#include "platform/ui/screens/MoviePlayer.h"

namespace morvix {

std::shared_ptr<VideoViewController> VideoViewController::create(std::shared_ptr<platform::MoviePlayer> player)
{
    return std::shared_ptr<VideoViewController>(new VideoViewController(std::move(player)));
}

VideoViewController::VideoViewController(std::shared_ptr<platform::MoviePlayer> player)
    : m_player(std::move(player))
{
}

VideoViewController::~VideoViewController() = default;

void VideoViewController::loadView()
{
    setView(m_player->view());
}

void VideoViewController::viewWillDisappear(bool animated)
{
    if (!m_player->isFullscreen())
        ViewController::viewWillDisappear(animated);
}

void VideoViewController::viewDidDisappear(bool animated)
{
    if (!m_player->isFullscreen())
        ViewController::viewDidDisappear(animated);
}

} // namespace morvix
