#pragma once
// The plain container widget.

#include "widgets/foundation/AbstractComposite.h"

#include <memory>
#include <string_view>

namespace morvix {

class DelegatingView;

/// "zub.widgets.Composite": a container whose view clips its children, has a clear background
/// and no natural size (its "layoutData" alone sizes it). A null "backgroundImage" brings the
/// "background" colour back. Main thread only.
class Composite : public RemoteClass<Composite, AbstractComposite>, public ViewDelegate::IntrinsicSize {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Composite";

    Composite(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Composite() override;

    /// Its base's events and the raw touches, which its view hands it.
    static const WireTable& wire();

    std::shared_ptr<platform::View> view() const override;
    /// No metric either way.
    platform::Size intrinsicContentSize() override;
    void setBackgroundImage(std::optional<platform::Value> image) override;

protected:
    void didConstruct() override;

private:
    std::shared_ptr<DelegatingView> m_composite;
};

} // namespace morvix
