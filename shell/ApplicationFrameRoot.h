#pragma once
// The application frame a session makes when it runs with the frame on.

#include "core/ApplicationFrame.h"

#include <memory>

namespace morvix {

class DisplayRootViewController;
class PageViewController;

/// The root controller over a placeholder page, as the session sees it. Main thread only.
class ApplicationFrameRoot final : public ApplicationFrameController {
public:
    static std::shared_ptr<ApplicationFrameRoot> create(std::weak_ptr<ApplicationFrameClient> client);
    /// Makes sessions build their frame with this class.
    static void install();

    const std::shared_ptr<DisplayRootViewController>& displayRootViewController() const { return m_root; }
    const std::shared_ptr<PageViewController>& placeholder() const { return m_placeholder; }

    std::shared_ptr<platform::ViewController> rootController() const override;
    std::shared_ptr<platform::View> topView() const override;
    void setMorvixUIActive(bool active) override;
    void reset() override;
    std::shared_ptr<platform::View> activeTextField() const override;
    void setActiveTextField(std::shared_ptr<platform::View> field) override;
    void dismissFocus() override;

private:
    ApplicationFrameRoot() = default;
    std::shared_ptr<PageViewController> m_placeholder;
    std::shared_ptr<DisplayRootViewController> m_root;
};

} // namespace morvix
