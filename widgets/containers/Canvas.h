#pragma once
// The widget that shows the picture of its drawing context.

#include "widgets/foundation/AbstractComposite.h"

#include <memory>
#include <string_view>

namespace morvix {

class CanvasView;
class DelegatingView;

/// "zub.widgets.Canvas": a clipping view holding a `CanvasView` that shows the bitmap of the
/// canvas's first "zub.widgets.GC" child. Child widgets' views lie above the picture. The data
/// flag "clientCanvas" true lets the user draw on it with a finger (`ClientCanvasView`), from
/// then on for the widget's life. Main thread only.
class Canvas : public RemoteClass<Canvas, AbstractComposite>, public ViewDelegate::IntrinsicSize {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Canvas";

    Canvas(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Canvas() override;

    /// "Drawing", which the finger-drawing overlay sends for the canvas.
    static const WireTable& wire();
    static const EventDeclaration kDrawingEvent;

    std::shared_ptr<platform::View> view() const override;
    /// The canvas view's: the current drawing context's size, or no metric.
    platform::Size intrinsicContentSize() override;
    /// The base's handling, then the overlay when "clientCanvas" is true.
    void setData(std::optional<platform::Value> data) override;
    void setBackgroundImage(std::optional<platform::Value> image) override;
    /// The canvas view takes (0, 0, size); then the base's handling.
    void sizeChanged(platform::Size size) override;
    /// Destroys the canvas view and its overlay, then the base (which destroys the children).
    void destroy() override;
    /// The base's handling; a drawing context that comes or goes renews the intrinsic size.
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;

    /// Marks the canvas view for display; sent by the drawing context after each "draw".
    void contentChanged();
    /// Has the next layout pass read the intrinsic size again; sent by the drawing context after
    /// each "init", which may come after the canvas has been laid out.
    void contentSizeChanged();
    void enableClientCanvas();
    const std::shared_ptr<CanvasView>& canvasView() const { return m_canvas; }

protected:
    void didConstruct() override;

private:
    std::shared_ptr<DelegatingView> m_baseView;
    std::shared_ptr<CanvasView> m_canvas;
};

} // namespace morvix
