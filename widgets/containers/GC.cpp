#include "widgets/containers/GC.h"

#include "core/base/LogEntry.h"
#include "core/base/Strings.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/objects/TypeConverter.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/WireNumber.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Screen.h"
#include "widgets/containers/Canvas.h"
#include "widgets/containers/GCDrawQueue.h"
#include "widgets/text/CoreTexts.h"
#include "widgets/text/FontHelper.h"
#include "widgets/text/FontResolver.h"
#include "widgets/text/Mnemonics.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace morvix {

using platform::Value;

namespace {

constexpr double kFullTurn = 2 * std::numbers::pi;
// The largest magnitude a drawing number may have: it is drawn in single precision.
constexpr double kLargestSingle = std::numeric_limits<float>::max();

// An arc sweeps at most one full turn in its direction, as on a canvas.
double clampedEndAngle(double start, double end, platform::ArcDirection direction)
{
    if (direction == platform::ArcDirection::IncreasingAngle)
        return end - start >= kFullTurn ? start + kFullTurn : end;
    return start - end >= kFullTurn ? start - kFullTurn : end;
}

platform::ArcDirection arcDirection(bool anticlockwise)
{
    return anticlockwise ? platform::ArcDirection::DecreasingAngle : platform::ArcDirection::IncreasingAngle;
}

bool isLineBreak(char32_t character)
{
    return (character >= 0x0A && character <= 0x0D) || character == 0x85 || character == 0x2028 || character == 0x2029;
}

// The text cut at every line-break character; CR LF gives an empty line between the two.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (std::size_t index = 0; index < text.size();) {
        auto byte = static_cast<unsigned char>(text[index]);
        std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - index);
        char32_t character = byte;
        if (length == 2)
            character = ((byte & 0x1F) << 6) | (text[index + 1] & 0x3F);
        else if (length == 3)
            character = ((byte & 0x0F) << 12) | ((text[index + 1] & 0x3F) << 6) | (text[index + 2] & 0x3F);
        if (isLineBreak(character))
            lines.emplace_back();
        else
            lines.back().append(text, index, length);
        index += length;
    }
    return lines;
}

} // namespace

GC::GC(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_scale(platform::Screen::main().scale())
{
    registerSelector(&GC::initializeAfterWaitingLists, "init");
    registerSelector(&GC::draw, "draw");
    if (auto session = this->client()) {
        m_bitmapPixels = session->sessionBudget()->share(platform::SessionBudget::Resource::BitmapPixels);
        m_savedStates = session->sessionBudget()->share(platform::SessionBudget::Resource::SavedStates);
    }
}

GC::~GC() = default;

platform::GraphicsContext* GC::context() const
{
    return m_bitmap ? &m_bitmap->context() : nullptr;
}

platform::Size GC::size() const
{
    return m_bitmap ? m_size : platform::Size {};
}

std::shared_ptr<platform::Image> GC::image() const
{
    std::lock_guard lock(m_monitor);
    return m_bitmap ? m_bitmap->image(m_scale) : nullptr;
}

void GC::initialize(const Value* properties)
{
    static const Value kNone;
    auto get = [&](const char* key) -> const Value& {
        if (!properties || !properties->is_object() || !properties->contains(key))
            return kNone;
        return (*properties)[key];
    };
    float width = platform::WireNumber::singlePrecision(platform::numberValue(get("width")).value_or(0));
    float height = platform::WireNumber::singlePrecision(platform::numberValue(get("height")).value_or(0));
    double pixelWidth = std::trunc(width * m_scale);
    double pixelHeight = std::trunc(height * m_scale);
    bool fits = std::isfinite(pixelWidth) && std::isfinite(pixelHeight) && pixelWidth >= 1 && pixelHeight >= 1
        && pixelWidth <= platform::Image::kMaxSide && pixelHeight <= platform::Image::kMaxSide
        && pixelWidth * pixelHeight <= double(platform::Image::kMaxPixels);
    // The new bitmap replaces this context's old one in the session's sum; refused, the old
    // bitmap stays as it was.
    auto pixels = fits ? static_cast<std::uint64_t>(pixelWidth * pixelHeight) : 0;
    if (!m_bitmapPixels.resize(pixels)) {
        RemoteException::throwIncorrectParameter("GC %@ init: a bitmap of %@ pixels would take the session's bitmaps past %@ pixels",
            objectId(), static_cast<long long>(pixels), static_cast<long long>(m_bitmapPixels.limit()));
    }
    m_bitmap.reset();
    if (fits)
        m_bitmap = std::make_unique<platform::BitmapContext>(int(pixelWidth), int(pixelHeight));
    if (m_bitmap && !m_bitmap->isValid())
        m_bitmap.reset();
    if (!m_bitmap) {
        m_bitmapPixels.release();
        if (auto session = client())
            session->log(LogEntry(platform::format("GC %@ makes no bitmap of %@ by %@ points", objectId(),
                                      double(width), double(height)),
                LogEntry::Type::Warning));
    }
    m_size = { width, height };
    // The canvas may have been laid out already: its size follows the new bitmap's, even when
    // the font below turns out to be refused.
    if (auto canvas = std::dynamic_pointer_cast<Canvas>(parent()))
        canvas->contentSizeChanged();
    if (auto* context = this->context())
        context->scale(m_scale, m_scale);

    auto& record = *top();
    if (properties && properties->is_object()) {
        if (properties->contains("fillStyle"))
            setColor(get("fillStyle"), record.fillStyle, "fillStyle");
        if (properties->contains("strokeStyle"))
            setColor(get("strokeStyle"), record.strokeStyle, "strokeStyle");
    }
    record.setTextBaseline(get("textBaseline").is_string() ? get("textBaseline").get<std::string>() : "");
    record.setTextAlign(get("textAlign").is_string() ? get("textAlign").get<std::string>() : "");

    const Value& font = get("font");
    if (font.is_array() && font.size() == 4)
        this->font(Value::array({ "font", font }));
    else if (font.is_string())
        m_font = FontResolver::fontWithDescription(font.get<std::string>());
    else
        m_font = platform::Font::system(14);
    if (auto* context = this->context())
        record.restore(*context);
}

void GC::setColor(const Value& value, platform::Color& color, std::string_view name)
{
    auto converted = TypeConverter::toUIColor(value);
    if (converted) {
        color = *converted;
        return;
    }
    if (auto session = client())
        session->log(LogEntry(platform::format("GC %@ keeps its %@: %@ is not a colour", objectId(), name, value),
            LogEntry::Type::Warning));
}

void GC::initializeAfterWaitingLists(const Value* properties)
{
    if (m_drawQueue)
        m_drawQueue->flush();
    initialize(properties);
}

GCDrawQueue& GC::drawQueue()
{
    if (!m_drawQueue) {
        m_drawQueue = GCDrawQueue::create(objectId(), [weak = weak_from_this()](const Value& operations) {
            if (auto self = std::static_pointer_cast<GC>(weak.lock()))
                self->runOperations(operations);
        });
    }
    return *m_drawQueue;
}

void GC::draw(const Value* properties)
{
    static const Value kNoOperations = Value::array();
    const Value* list = &kNoOperations;
    if (properties && properties->is_object() && properties->contains("operations") && (*properties)["operations"].is_array())
        list = &(*properties)["operations"];
    drawQueue().add(*list, client());
}

void GC::runOperations(const Value& operations)
{
    {
        std::lock_guard lock(m_monitor);
        for (const auto& operation : operations)
            drawOperation(operation);
    }
    if (auto canvas = std::dynamic_pointer_cast<Canvas>(parent()))
        canvas->contentChanged();
}

void GC::drawOperation(const Value& operation)
{
    if (!operation.is_array())
        RemoteException::throwIncorrectParameter("GC operation %@ is not a list", operation);
    if (operation.empty())
        return;
    if (!operation[0].is_string())
        RemoteException::throwIncorrectParameter("GC operation name %@ is not a string", operation[0]);
    const auto& table = operations();
    auto found = table.find(operation[0].get_ref<const std::string&>());
    if (found != table.end())
        (this->*found->second)(operation);
}

const std::unordered_map<std::string, GC::Operation>& GC::operations()
{
    static const std::unordered_map<std::string, Operation> table {
        { "beginPath", &GC::beginPath },
        { "closePath", &GC::closePath },
        { "lineWidth", &GC::lineWidth },
        { "lineCap", &GC::lineCap },
        { "lineJoin", &GC::lineJoin },
        { "moveTo", &GC::moveTo },
        { "lineTo", &GC::lineTo },
        { "createLinearGradient", &GC::createLinearGradient },
        { "addColorStop", &GC::addColorStop },
        { "fillStyle", &GC::fillStyle },
        { "strokeStyle", &GC::strokeStyle },
        { "ellipse", &GC::ellipse },
        { "arc", &GC::arc },
        { "quadraticCurveTo", &GC::quadraticCurveTo },
        { "bezierCurveTo", &GC::bezierCurveTo },
        { "rect", &GC::rect },
        { "translate", &GC::translate },
        { "rotate", &GC::rotate },
        { "scale", &GC::scale },
        { "clearRect", &GC::clearRect },
        { "fill", &GC::fill },
        { "globalAlpha", &GC::globalAlpha },
        { "stroke", &GC::stroke },
        { "drawImage", &GC::drawImage },
        { "font", &GC::font },
        { "fillText", &GC::drawText },
        { "strokeText", &GC::drawText },
        { "textBaseline", &GC::textBaseline },
        { "textAlign", &GC::textAlign },
        { "save", &GC::save },
        { "restore", &GC::restore },
    };
    return table;
}

void GC::fail(const Value& operation, std::size_t index, std::string_view why)
{
    RemoteException::throwIncorrectParameter("GC operation %@ argument %@ %@", operation[0],
        static_cast<long long>(index), why);
}

const Value& GC::argument(const Value& operation, std::size_t index)
{
    if (index >= operation.size())
        fail(operation, index, "is missing");
    return operation[index];
}

float GC::number(const Value& operation, std::size_t index)
{
    const Value& value = argument(operation, index);
    if (!platform::isNumber(value))
        fail(operation, index, "is not a number");
    auto single = platform::WireNumber::number(value, -kLargestSingle, kLargestSingle);
    if (!single)
        fail(operation, index, "is not a finite number");
    return static_cast<float>(*single);
}

bool GC::flag(const Value& operation, std::size_t index)
{
    return platform::boolValue(argument(operation, index));
}

std::string GC::text(const Value& operation, std::size_t index)
{
    const Value& value = argument(operation, index);
    if (!value.is_string())
        fail(operation, index, "is not a string");
    return value.get<std::string>();
}

void GC::keepPathWhileExecuting(const std::function<void(platform::GraphicsContext&)>& draw)
{
    auto* context = this->context();
    if (!context)
        return;
    platform::Path path = context->path();
    draw(*context);
    context->beginPath();
    top()->restore(*context);
    context->addPath(path);
}

void GC::checkArcRadius(const Value& operation, double radius) const
{
    auto* context = this->context();
    if (context && radius * context->stretch() > kMaximumArcRadius)
        RemoteException::throwIncorrectParameter("GC operation %@ has a radius of %@ pixels, more than the %@ drawn",
            operation[0], radius * context->stretch(), kMaximumArcRadius);
}

void GC::beginPath(const Value&)
{
    if (auto* context = this->context()) {
        context->beginPath();
        top()->restore(*context);
    }
}

void GC::closePath(const Value&)
{
    if (auto* context = this->context())
        context->closePath();
}

void GC::lineWidth(const Value& operation)
{
    float width = number(operation, 1);
    top()->lineWidth = operation[1];
    if (auto* context = this->context())
        context->setLineWidth(width);
}

void GC::lineCap(const Value& operation)
{
    const Value& cap = argument(operation, 1);
    top()->lineCap = cap.is_string() ? cap.get<std::string>() : "";
    if (auto* context = this->context())
        context->setLineCap(top()->cgLineCap());
}

void GC::lineJoin(const Value& operation)
{
    const Value& join = argument(operation, 1);
    top()->lineJoin = join.is_string() ? join.get<std::string>() : "";
    if (auto* context = this->context())
        context->setLineJoin(top()->cgLineJoin());
}

void GC::moveTo(const Value& operation)
{
    platform::Point point { number(operation, 1), number(operation, 2) };
    if (auto* context = this->context())
        context->moveTo(point);
}

// lineTo and the curves without a current point start their subpath at their first point,
// which is cairo's rule as well as the canvas's.
void GC::lineTo(const Value& operation)
{
    platform::Point point { number(operation, 1), number(operation, 2) };
    if (auto* context = this->context())
        context->lineTo(point);
}

void GC::quadraticCurveTo(const Value& operation)
{
    platform::Point control { number(operation, 1), number(operation, 2) };
    platform::Point end { number(operation, 3), number(operation, 4) };
    auto* context = this->context();
    if (!context)
        return;
    if (!context->hasCurrentPoint())
        context->moveTo(control);
    context->quadCurveTo(control, end);
}

void GC::bezierCurveTo(const Value& operation)
{
    platform::Point control1 { number(operation, 1), number(operation, 2) };
    platform::Point control2 { number(operation, 3), number(operation, 4) };
    platform::Point end { number(operation, 5), number(operation, 6) };
    if (auto* context = this->context())
        context->curveTo(control1, control2, end);
}

void GC::createLinearGradient(const Value& operation)
{
    m_linearGradient.emplace(platform::Point { number(operation, 1), number(operation, 2) },
        platform::Point { number(operation, 3), number(operation, 4) });
}

void GC::addColorStop(const Value& operation)
{
    const Value& indexValue = argument(operation, 1);
    if (!platform::isNumber(indexValue))
        fail(operation, 1, "is not a number");
    const Value& colorValue = argument(operation, 2);
    auto color = TypeConverter::toUIColor(colorValue);
    if (!color || colorValue.size() > 4)
        fail(operation, 2, "is not a colour of three or four numbers");
    if (!m_linearGradient)
        return;
    auto stopCount = static_cast<std::int64_t>(m_linearGradient->stopCount());
    auto index = platform::WireNumber::count(indexValue, 0, stopCount);
    if (!index)
        fail(operation, 1, "is not a stop index of the gradient");
    if (m_linearGradient->stopCount() >= GCLinearGradient::kMaximumStopCount)
        fail(operation, 1, "has no room: the gradient holds as many stops as it can");
    // Components are numbers (booleans among them), as the colour check above read them.
    auto component = [&](std::size_t at) {
        return platform::WireNumber::singlePrecision(platform::numberValue(colorValue[at]).value_or(0));
    };
    m_linearGradient->addColorStop({ component(0), component(1), component(2),
                                       colorValue.size() == 4 ? component(3) : 255.0f },
        std::size_t(*index));
}

void GC::fillStyle(const Value& operation)
{
    const Value& style = argument(operation, 1);
    // A string names the gradient built before, which stays in force.
    if (style.is_string())
        return;
    m_linearGradient.reset();
    setColor(style, top()->fillStyle, "fillStyle");
    if (auto* context = this->context())
        context->setFillColor(top()->fillStyle);
}

void GC::strokeStyle(const Value& operation)
{
    setColor(argument(operation, 1), top()->strokeStyle, "strokeStyle");
    if (auto* context = this->context())
        context->setStrokeColor(top()->strokeStyle);
}

// The rotation comes before the translation, so that a rotation also turns the centre about
// the current origin: peers that draw the same lists elsewhere rely on it.
void GC::ellipse(const Value& operation)
{
    platform::Point center { number(operation, 1), number(operation, 2) };
    float radiusX = number(operation, 3);
    float radiusY = number(operation, 4);
    float rotation = number(operation, 5);
    float start = number(operation, 6);
    float end = number(operation, 7);
    auto direction = arcDirection(flag(operation, 8));
    auto* context = this->context();
    if (!context || !(radiusX > 0) || !(radiusY > 0))
        return;
    checkArcRadius(operation, std::max(radiusX, radiusY));
    context->save();
    context->rotate(rotation);
    context->translate(center.x, center.y);
    context->scale(1, double(radiusY) / radiusX);
    context->arc({ 0, 0 }, radiusX, start, clampedEndAngle(start, end, direction), direction);
    context->restore();
}

void GC::arc(const Value& operation)
{
    platform::Point center { number(operation, 1), number(operation, 2) };
    float radius = number(operation, 3);
    float start = number(operation, 4);
    float end = number(operation, 5);
    auto direction = arcDirection(flag(operation, 6));
    auto* context = this->context();
    if (!context)
        return;
    checkArcRadius(operation, radius);
    context->arc(center, radius, start, clampedEndAngle(start, end, direction), direction);
}

void GC::rect(const Value& operation)
{
    platform::Rect rect { number(operation, 1), number(operation, 2), number(operation, 3), number(operation, 4) };
    if (auto* context = this->context())
        context->addRect(rect);
}

void GC::translate(const Value& operation)
{
    float x = number(operation, 1);
    float y = number(operation, 2);
    if (auto* context = this->context())
        context->translate(x, y);
}

void GC::rotate(const Value& operation)
{
    float angle = number(operation, 1);
    if (auto* context = this->context())
        context->rotate(angle);
}

void GC::scale(const Value& operation)
{
    float x = number(operation, 1);
    float y = number(operation, 2);
    if (auto* context = this->context())
        context->scale(x, y);
}

void GC::clearRect(const Value& operation)
{
    platform::Rect rect { number(operation, 1), number(operation, 2), number(operation, 3), number(operation, 4) };
    if (auto* context = this->context())
        context->clearRect(rect);
}

void GC::fill(const Value&)
{
    auto* context = this->context();
    if (!context)
        return;
    if (!m_linearGradient) {
        keepPathWhileExecuting([](platform::GraphicsContext& context) { context.fillPath(); });
        return;
    }
    if (m_linearGradient->stopCount() == 0) {
        context->beginPath();
        return;
    }
    context->save();
    context->clip();
    context->drawLinearGradient(m_linearGradient->gradient(), m_linearGradient->startPoint(),
        m_linearGradient->endPoint(), platform::GradientExtent::Both);
    context->restore();
}

void GC::stroke(const Value&)
{
    keepPathWhileExecuting([](platform::GraphicsContext& context) { context.strokePath(); });
}

void GC::globalAlpha(const Value& operation)
{
    float alpha = number(operation, 1);
    top()->globalAlpha = operation[1];
    if (auto* context = this->context())
        context->setAlpha(alpha);
}

void GC::drawImage(const Value& operation)
{
    std::string path = text(operation, 1);
    if (operation.size() >= 5 && operation.size() < 10)
        fail(operation, operation.size(), "is missing: the cut-out form takes nine arguments");
    bool cut = operation.size() >= 10;
    float values[8] = {};
    for (std::size_t index = 0; index < (cut ? 8u : 2u); ++index)
        values[index] = number(operation, index + 2);
    auto* context = this->context();
    if (!context)
        return;
    auto image = drawQueue().picture(path);
    if (!image)
        return;
    if (!cut) {
        context->drawImage(*image, { values[0], values[1], image->size().width, image->size().height });
        return;
    }
    double left = std::max(std::floor(double(values[0])), 0.0);
    double topEdge = std::max(std::floor(double(values[1])), 0.0);
    double right = std::min(std::ceil(double(values[0]) + values[2]), double(image->pixelWidth()));
    double bottom = std::min(std::ceil(double(values[1]) + values[3]), double(image->pixelHeight()));
    if (!(right > left) || !(bottom > topEdge))
        return;
    auto piece = image->cropped({ left, topEdge, right - left, bottom - topEdge });
    if (piece)
        context->drawImage(*piece, { values[4], values[5], values[6], values[7] });
}

void GC::font(const Value& operation)
{
    const Value& font = argument(operation, 1);
    if (!font.is_array() || font.size() < 4)
        fail(operation, 1, "is not [family names, size, bold, italic]");
    std::vector<std::string> families;
    if (font[0].is_array()) {
        for (const auto& family : font[0])
            if (family.is_string())
                families.push_back(family.get<std::string>());
    }
    auto size = platform::WireNumber::number(font[1], -kLargestSingle, kLargestSingle);
    if (!size)
        fail(operation, 1, "has no font size");
    m_font = FontHelper::getFont(families, static_cast<float>(*size), platform::boolValue(font[2]),
        platform::boolValue(font[3]));
}

void GC::drawText(const Value& operation)
{
    std::string string = text(operation, 1);
    bool removeMnemonics = flag(operation, 2);
    bool lineBreaks = flag(operation, 3);
    bool keepTabs = flag(operation, 4);
    platform::Point at { number(operation, 5), number(operation, 6) };
    auto* context = this->context();
    if (!context || !m_font)
        return;
    if (removeMnemonics)
        string = Mnemonics::removeMnemonics(std::move(string));
    if (!keepTabs)
        string = Strings::removeTabs(string);
    bool filled = operation[0] == "fillText";
    const auto& record = *top();
    platform::TextAttributes attributes { .font = *m_font, .foregroundColor = filled ? record.fillStyle : record.strokeStyle };
    auto lines = lineBreaks ? splitLines(string) : std::vector<std::string> { string };
    double lineHeight = CoreTexts::lineHeight(*m_font);
    double yOffset = CoreTexts::computeYOffset(lineHeight, record.textBaseline, int(lines.size()), *m_font);
    for (const auto& line : lines) {
        platform::AttributedString attributed(line, attributes);
        double xOffset = CoreTexts::computeXOffset(attributed, record.textAlign);
        platform::TextLayout layout(attributed, {});
        double baseline = layout.lines().empty() ? 0 : layout.lines().front().baseline;
        context->drawText(attributed, {}, { at.x + xOffset, at.y + yOffset - baseline },
            filled ? platform::TextDrawingMode::Fill : platform::TextDrawingMode::Stroke);
        yOffset += lineHeight;
    }
}

void GC::textBaseline(const Value& operation)
{
    const Value& baseline = argument(operation, 1);
    top()->setTextBaseline(baseline.is_string() ? baseline.get<std::string>() : "");
}

void GC::textAlign(const Value& operation)
{
    const Value& align = argument(operation, 1);
    top()->setTextAlign(align.is_string() ? align.get<std::string>() : "");
}

// Each saved state holds a record and the bitmap context's own state: one context, and the
// session's contexts together, keep a bounded number of them.
void GC::save(const Value&)
{
    if (!m_savedStates.grow(1)) {
        RemoteException::throwIncorrectParameter("GC %@ save: the session's drawing contexts hold %@ saved states already", objectId(),
            static_cast<long long>(m_savedStates.limit()));
    }
    if (!m_propertiesStack.push()) {
        (void)m_savedStates.resize(m_savedStates.amount() - 1);
        RemoteException::throwIncorrectParameter("GC %@ save: %@ states are saved already, the most one drawing context keeps",
            objectId(), static_cast<long long>(GCPropertiesStack::kMaximumDepth));
    }
    if (auto* context = this->context())
        context->save();
}

// The context ignores a restore without a save of its own, and the base record stays.
void GC::restore(const Value&)
{
    if (auto* context = this->context())
        context->restore();
    if (m_propertiesStack.pop())
        (void)m_savedStates.resize(m_savedStates.amount() - 1);
}

void GC::applyTo(platform::GraphicsContext& context)
{
    std::lock_guard lock(m_monitor);
    if (!m_bitmap)
        return;
    platform::Rect area { 0, 0, m_size.width, m_size.height };
    context.clearRect(area);
    if (auto picture = m_bitmap->image(m_scale))
        context.drawImage(*picture, area);
}

} // namespace morvix
