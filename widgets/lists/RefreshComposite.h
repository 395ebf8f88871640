#pragma once
// The container whose content the user pulls down to refresh it.

#include "widgets/foundation/AbstractComposite.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class RefreshView;

/// "morvix.widgets.RefreshComposite": its children's views lie in the content view of a
/// `RefreshView`. Pulled far enough down, it shows the spinner and sends "Refresh" at once while
/// listened; the call "done" ends the spinner. Without a listener the refresh ends at once and
/// nothing is sent. "message" is the title under the spinner, drawn in "foreground" when that
/// is set. Main thread only.
class RefreshComposite : public RemoteClass<RefreshComposite, AbstractComposite> {
public:
    static constexpr std::string_view kRemoteType = "morvix.widgets.RefreshComposite";

    RefreshComposite(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~RefreshComposite() override;

    static const PropertyTable& properties();
    /// "Refresh".
    static const WireTable& wire();
    /// `AbstractComposite`'s names plus "message".
    static const PropertyNames& remoteObjectProperties();

    std::shared_ptr<platform::View> view() const override;
    /// Null once the composite is destroyed.
    const std::shared_ptr<RefreshView>& refreshView() const { return m_refreshView; }

    /// The child's view goes into the content view, then the children are restacked.
    void addWidgetView(BasicWidget& child) override;
    /// The base's handling, then the refresh view takes the same frame.
    void setBounds(platform::Rect bounds) override;
    void setForeground(std::optional<platform::Color> color) override;
    void setBackgroundImage(std::optional<platform::Value> image) override;
    /// The base's destroy, then the refresh callback is cleared and the view let go.
    void destroy() override;

    const std::string& message() const { return m_message; }
    void setMessage(std::optional<std::string> message);
    bool refreshListener() const { return m_refreshListener; }

    /// A refresh began: "Refresh" while listened, else it ends at once.
    void handleRefresh();
    /// Ends the spinner.
    void done();

protected:
    void didConstruct() override;

private:
    std::shared_ptr<RefreshView> m_refreshView;
    std::string m_message;
    bool m_refreshListener = false;
};

} // namespace morvix
