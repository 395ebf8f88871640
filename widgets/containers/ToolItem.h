#pragma once
// One button or separator of a tool bar.

#include "widgets/foundation/BasicWidget.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

namespace platform {
class BarButtonItem;
class Image;
class ImageView;
}

/// "zub.widgets.ToolItem": a button of its "zub.widgets.ToolBar" parent, which places it by its
/// "index" (data "title" true makes it the bar's title instead). It has no view of its own. A
/// tap on its button sends "Selection" {} at once while listened. Style "PUSH" gives a bordered
/// button; "SEPARATOR" makes it a picture of a separator, with no action. "enabled" reads false
/// until it is set, although the button starts enabled.
///
/// Text, index, enabled and visible are kept under the item's mutex; a change of any of them or
/// of "data" asks the parent bar to rebuild its items after the mutex is released. Main thread
/// only.
class ToolItem : public RemoteClass<ToolItem, BasicWidget> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.ToolItem";

    ToolItem(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~ToolItem() override;

    static const PropertyTable& properties();
    /// "PUSH", "SEPARATOR" and "Selection".
    static const WireTable& wire();
    /// `BasicWidget`'s names plus "text", "image", "enabled" and "index".
    static const PropertyNames& remoteObjectProperties();

    /// None: the item lives on its bar's button.
    std::shared_ptr<platform::View> view() const override { return nullptr; }
    /// The button the bar shows.
    const std::shared_ptr<platform::BarButtonItem>& item() const { return m_item; }

    std::string text() const;
    /// The button shows the text without its mnemonic marker.
    void setText(std::optional<std::string> text);
    const std::optional<platform::Value>& image() const { return m_image; }
    /// Loads the image onto the button, which then shows no title; none or a failed load shows
    /// the text again.
    void setImage(std::optional<platform::Value> image);
    bool enabled() const;
    void setEnabled(bool enabled) override;
    bool visible() const;
    void setVisible(bool visible);
    double index() const;
    void setIndex(std::optional<platform::Value> index);
    void setStyle(std::optional<platform::Value> style) override;
    void setData(std::optional<platform::Value> data) override;
    bool selectionListener() const { return m_selectionListener; }

    void destroy() override;

protected:
    void didConstruct() override;

private:
    void buttonSelected();
    void applyText();
    void showImage(const std::shared_ptr<platform::Image>& image);
    /// Asks a tool bar parent to rebuild its items.
    void changed();

    std::shared_ptr<platform::BarButtonItem> m_item;
    std::shared_ptr<platform::ImageView> m_imageHolder;
    std::optional<platform::Value> m_image;
    bool m_selectionListener = false;
    mutable std::mutex m_mutex; // guards m_text, m_index, m_enabled and m_visible
    std::string m_text;
    double m_index = 0;
    bool m_enabled = false;
    bool m_visible = true;
};

} // namespace morvix
