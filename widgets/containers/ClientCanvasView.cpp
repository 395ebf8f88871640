#include "widgets/containers/ClientCanvasView.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/TypeConverter.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/Format.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/ui/Touch.h"
#include "widgets/containers/Canvas.h"
#include "widgets/containers/CanvasView.h"
#include "widgets/containers/GC.h"

#include <cmath>

namespace morvix {

using platform::Point;
using platform::Value;

namespace {

// A float as the shortest number that reads back as it; whole ones as integers.
Value wireNumber(float number)
{
    Value value = TypeConverter::floatNumber(number);
    double exact = value.get<double>();
    if (std::trunc(exact) == exact && std::fabs(exact) < 1e15)
        return static_cast<long long>(exact);
    return value;
}

} // namespace

ClientCanvasView::ClientCanvasView(std::weak_ptr<Canvas> canvas)
    : m_parentObject(std::move(canvas))
{
    setUserInteractionEnabled(true);
    setOpaque(false);
    setBackgroundColor(platform::Color::clear());
    setTranslatesAutoresizingMaskIntoConstraints(false);
}

std::shared_ptr<ClientCanvasView> ClientCanvasView::create(const std::shared_ptr<Canvas>& canvas)
{
    auto view = std::shared_ptr<ClientCanvasView>(new ClientCanvasView(canvas));
    view->setupGCproperties();
    return view;
}

std::shared_ptr<GC> ClientCanvasView::currentGC() const
{
    return CanvasView::currentGC(m_parentObject.lock());
}

void ClientCanvasView::setupGCproperties()
{
    if (auto gc = currentGC())
        m_properties = gc->propertiesStack().peek();
}

std::vector<Point> ClientCanvasView::smoothPoints(const std::vector<Point>& points)
{
    std::vector<Point> smoothed = points;
    for (std::size_t index = 2; index + 1 < points.size(); index += 2) {
        smoothed[index].x = (points[index - 1].x + points[index].x + points[index + 1].x) / 3;
        smoothed[index].y = (points[index - 1].y + points[index].y + points[index + 1].y) / 3;
    }
    return smoothed;
}

std::vector<float> ClientCanvasView::pointsToNormalizedNumbersArray(const std::vector<Point>& points)
{
    std::vector<float> numbers;
    for (const auto& point : smoothPoints(points)) {
        numbers.push_back(static_cast<float>(point.x));
        numbers.push_back(static_cast<float>(point.y));
    }
    if (points.size() >= 4 && points.size() % 2 == 0) {
        numbers.push_back(static_cast<float>(points.back().x));
        numbers.push_back(static_cast<float>(points.back().y));
    }
    return numbers;
}

std::vector<Point> ClientCanvasView::createPointPolyAt(Point point)
{
    return { { point.x, point.y - 1 }, { point.x + 1, point.y }, { point.x, point.y + 1 }, { point.x - 1, point.y },
        { point.x, point.y - 1 } };
}

std::vector<float> ClientCanvasView::drawingPointsToCurveData(const std::vector<Point>& points)
{
    if (points.empty())
        return {};
    if (points.size() == 1)
        return pointsToNormalizedNumbersArray(createPointPolyAt(points.front()));
    return pointsToNormalizedNumbersArray(points);
}

void ClientCanvasView::addPoint(const platform::TouchSet& touches)
{
    if (!touches.empty())
        m_pathPoints.push_back(touches.front()->locationIn(this));
}

void ClientCanvasView::touchesBegan(const platform::TouchSet& touches, const platform::Event& event)
{
    addPoint(touches);
    View::touchesBegan(touches, event);
}

void ClientCanvasView::touchesMoved(const platform::TouchSet& touches, const platform::Event& event)
{
    addPoint(touches);
    setNeedsDisplay();
    View::touchesMoved(touches, event);
}

void ClientCanvasView::touchesEnded(const platform::TouchSet& touches, const platform::Event& event)
{
    sendDrawing();
    View::touchesEnded(touches, event);
}

void ClientCanvasView::touchesCancelled(const platform::TouchSet& touches, const platform::Event& event)
{
    sendDrawing();
    View::touchesCancelled(touches, event);
}

void ClientCanvasView::draw(platform::GraphicsContext& context, const platform::Rect&)
{
    // The preview starts from a clear view each time: the renderer gives a view's drawing a fresh
    // context over the views under it, so there is nothing of an earlier preview to clear, and
    // clearing would wipe out the canvas's picture under the overlay.
    if (m_pathPoints.empty())
        return;
    setupGCproperties();
    if (m_properties) {
        context.setAlpha(m_properties->globalAlphaValue());
        context.setStrokeColor(m_properties->strokeStyle);
        context.setLineCap(m_properties->cgLineCap());
        context.setLineJoin(m_properties->cgLineJoin());
        context.setLineWidth(m_properties->lineWidthValue());
    }
    auto points = smoothPoints(m_pathPoints);
    if (points.size() < 3)
        return;
    context.beginPath();
    context.moveTo(points[0]);
    std::size_t index = 1;
    for (; index + 1 < points.size(); index += 2)
        context.quadCurveTo(points[index], points[index + 1]);
    if (points.size() % 2 == 0)
        context.lineTo(points.back());
    context.strokePath();
}

void ClientCanvasView::drawOn(GC& gc, const std::vector<float>& curve)
{
    Value operations = Value::array({ Value::array({ "beginPath" }),
        Value::array({ "moveTo", wireNumber(curve[0]), wireNumber(curve[1]) }) });
    for (std::size_t index = 2; index + 3 < curve.size(); index += 4)
        operations.push_back(Value::array({ "quadraticCurveTo", wireNumber(curve[index]), wireNumber(curve[index + 1]),
            wireNumber(curve[index + 2]), wireNumber(curve[index + 3]) }));
    operations.push_back(Value::array({ "stroke" }));
    Value properties = { { "operations", std::move(operations) } };
    gc.draw(&properties);
}

std::optional<Value> ClientCanvasView::drawingsText(const std::vector<float>& curve) const
{
    auto foreground = TypeConverter::fromUIColor(m_properties->strokeStyle.withAlpha(m_properties->globalAlphaValue()));
    Value path = Value::array();
    for (float number : curve)
        path.push_back(wireNumber(number));
    Value drawings = Value::array({ Value::array({ "foreground", *foreground }),
        Value::array({ "lineWidth", Value::array({ m_properties->lineWidth }) }), Value::array({ "path", path }) });
    return drawings.dump();
}

void ClientCanvasView::sendDrawing()
{
    auto curve = drawingPointsToCurveData(m_pathPoints);
    m_pathPoints.clear();
    if (curve.size() < 6)
        return;
    if (auto gc = currentGC()) {
        drawOn(*gc, curve);
        if (auto canvasView = superview())
            canvasView->setNeedsDisplay();
    }
    if (!m_properties)
        setupGCproperties();
    auto canvas = m_parentObject.lock();
    if (!canvas)
        return;
    if (!m_properties) {
        if (auto session = canvas->client())
            session->log(LogEntry(platform::format("Canvas %@ sends no drawing: it has no stroke style", canvas->objectId()),
                LogEntry::Type::Warning));
        return;
    }
    auto text = drawingsText(curve);
    if (auto notification = canvas->notificationForObject())
        notification->fire(Canvas::kDrawingEvent, Value { { "drawings", *text } });
}

} // namespace morvix
