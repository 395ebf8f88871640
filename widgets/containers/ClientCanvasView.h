#pragma once
// The finger-drawing overlay of a canvas.

#include "platform/foundation/Value.h"
#include "platform/graphics/Point.h"
#include "platform/ui/View.h"

#include <memory>
#include <optional>
#include <vector>

namespace morvix {

class Canvas;
class GC;
class GCProperties;

/// A transparent view over the canvas view that collects a finger's stroke (one point per
/// touch event), previews it smoothed in the stroke record's style while the finger moves and,
/// when the finger lifts or the touch is cancelled, draws it into the canvas's current `GC` and
/// sends "Drawing" for the canvas at once, listened to or not:
///     {"drawings": "[[\"foreground\",[r,g,b,a]],[\"lineWidth\",[w]],[\"path\",[x0,y0,...]]]"}
/// A stroke of two points draws and sends nothing; a tap becomes a small diamond.
///
/// The stroke record is the current `GC`'s live top record, taken when the view is made, at
/// each preview with points, and when a stroke ends without one. With no record at all the
/// stroke is drawn but not sent. Main thread only.
class ClientCanvasView : public platform::View {
public:
    static std::shared_ptr<ClientCanvasView> create(const std::shared_ptr<Canvas>& canvas);
    const char* className() const override { return "ClientCanvasView"; }

    /// Each even-indexed point from index 2 that has a successor becomes the average of itself
    /// and its two neighbours; the rest stay.
    static std::vector<platform::Point> smoothPoints(const std::vector<platform::Point>& points);
    /// The smoothed points as flat float numbers, with the last point repeated when there are
    /// four or more and an even count.
    static std::vector<float> pointsToNormalizedNumbersArray(const std::vector<platform::Point>& points);
    /// The diamond (x, y - 1), (x + 1, y), (x, y + 1), (x - 1, y), (x, y - 1).
    static std::vector<platform::Point> createPointPolyAt(platform::Point point);
    /// The numbers of a stroke: a tap's diamond, or the points'; empty without points.
    static std::vector<float> drawingPointsToCurveData(const std::vector<platform::Point>& points);

    /// No recogniser of an enclosing view (a scroll view's pan, a control's tap) may take a
    /// finger that draws here.
    bool gestureRecognizerShouldBegin(platform::GestureRecognizer&) override { return false; }

    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesMoved(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesEnded(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesCancelled(const platform::TouchSet& touches, const platform::Event& event) override;
    /// The preview of the stroke in progress.
    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

    /// Finishes the stroke in progress: draws it into the `GC`, sends "Drawing", empties it.
    void sendDrawing();
    /// Takes the current `GC`'s top record, when there is a `GC`.
    void setupGCproperties();
    const std::vector<platform::Point>& pathPoints() const { return m_pathPoints; }
    /// Leaves the view tree.
    void destroy() { removeFromSuperview(); }

protected:
    explicit ClientCanvasView(std::weak_ptr<Canvas> canvas);

private:
    std::shared_ptr<GC> currentGC() const;
    void addPoint(const platform::TouchSet& touches);
    void drawOn(GC& gc, const std::vector<float>& curve);
    std::optional<platform::Value> drawingsText(const std::vector<float>& curve) const;

    std::weak_ptr<Canvas> m_parentObject;
    std::vector<platform::Point> m_pathPoints;
    std::shared_ptr<GCProperties> m_properties;
};

} // namespace morvix
