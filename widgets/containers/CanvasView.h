#pragma once
// The view that shows a canvas's drawing context.

#include "platform/ui/View.h"

#include <memory>

namespace morvix {

class Canvas;
class ClientCanvasView;
class GC;

/// Draws the bitmap of the canvas's current drawing context: the first `GC` among the canvas's
/// children, looked up each time, so one created later is found and a destroyed one is gone.
/// Transparent where the bitmap does not reach. Holds the finger-drawing overlay once enabled.
/// Main thread only.
class CanvasView : public platform::View {
public:
    static std::shared_ptr<CanvasView> create(const std::shared_ptr<Canvas>& canvas);
    const char* className() const override { return "CanvasView"; }

    /// The first `GC` child of `canvas`; null when there is none.
    static std::shared_ptr<GC> currentGC(const std::shared_ptr<Canvas>& canvas);
    std::shared_ptr<GC> currentGC() const;

    /// The current drawing context's size; no metric without one.
    platform::Size intrinsicContentSize() const override;
    /// Has the current drawing context draw its bitmap, then marks the overlay for display.
    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

    /// Adds the overlay pinned to this view's edges; nothing when there is one.
    void enableClientCanvas();
    const std::shared_ptr<ClientCanvasView>& clientCanvas() const { return m_clientCanvas; }
    /// Takes the overlay out of the view tree.
    void destroy();

protected:
    explicit CanvasView(std::weak_ptr<Canvas> canvas);

private:
    std::weak_ptr<Canvas> m_parentObject;
    std::shared_ptr<ClientCanvasView> m_clientCanvas;
};

} // namespace morvix
