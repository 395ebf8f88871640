#include "widgets/foundation/BasicWidget.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "platform/foundation/WireNumber.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/ImageView.h"
#include "widgets/foundation/ClientLayout.h"
#include "widgets/foundation/Display.h"
#include "widgets/foundation/LayoutNotAnimatable.h"
#include "widgets/foundation/StyleWords.h"
#include "widgets/foundation/ViewPlacement.h"
#include "widgets/foundation/WidgetContainer.h"
#include "widgets/images/ImageViewMorvix.h"

#include <cmath>
#include <unordered_set>

namespace morvix {

using platform::Value;
using platform::WireNumber;

namespace {

constexpr double kEnableFadeDuration = 0.3;
constexpr double kDisabledAlpha = 0.7;

// The number under `key` of the transform dictionary as a 32-bit float, saturated at the float
// range; nothing when absent.
std::optional<float> transformComponent(const Value& transform, const char* key, const std::string& objectId)
{
    auto entry = transform.find(key);
    if (entry == transform.end())
        return std::nullopt;
    auto number = platform::numberValue(*entry);
    if (!number)
        RemoteException::throwIncorrectParameter("property 'transform' of widget '%@' expects a number for '%@' but got %@",
            objectId, key, *entry);
    return WireNumber::singlePrecision(*number);
}

// `dividend / divisor` as the 32-bit division gives it, saturated instead of overflowing. A
// double quotient rounded to float is the float quotient (double carries more than twice the
// bits), so only the overflow differs.
float saturatedQuotient(float dividend, float divisor)
{
    return WireNumber::singlePrecision(static_cast<double>(dividend) / static_cast<double>(divisor));
}

} // namespace

BasicWidget::~BasicWidget() = default;

const PropertyTable& BasicWidget::properties()
{
    static const PropertyTable table = PropertyTable::extend<BasicWidget>(BasicObject::properties())
                                           .array("style", &BasicWidget::setStyle, &BasicWidget::style)
                                           .rect("bounds", &BasicWidget::setBounds, &BasicWidget::bounds)
                                           .number("tabIndex", &BasicWidget::setTabIndex, &BasicWidget::tabIndex)
                                           .boolean("visibility", &BasicWidget::setVisibility, &BasicWidget::visibility)
                                           .boolean("enabled", &BasicWidget::setEnabled, &BasicWidget::isEnabled)
                                           .font("font", &BasicWidget::setFont, &BasicWidget::font)
                                           .color("foreground", &BasicWidget::setForeground, &BasicWidget::foreground)
                                           .color("background", &BasicWidget::setBackground, &BasicWidget::background)
                                           .array("backgroundImage", &BasicWidget::setBackgroundImage, &BasicWidget::backgroundImage)
                                           .dictionary("data", &BasicWidget::setData, &BasicWidget::data)
                                           .dictionary("layoutData", &BasicWidget::setLayoutData, &BasicWidget::layoutData)
                                           .number("opacity", &BasicWidget::setOpacity, &BasicWidget::opacity)
                                           .dictionary("transform", &BasicWidget::setTransform, &BasicWidget::transform);
    return table;
}

const PropertyNames& BasicWidget::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "style", "bounds", "tabIndex", "visibility", "font", "foreground", "background", "backgroundImage", "data",
            "layoutData", "opacity", "transform" });
    return names;
}

void BasicWidget::didConstruct()
{
    RemoteClass::didConstruct();
    auto view = this->view();
    if (!view)
        return;
    view->setHidden(true);
    view->setDebugName(objectId());
    m_enabled = true;
    view->setUserInteractionEnabled(true);
}

// MARK: Parent

void BasicWidget::setParent(std::shared_ptr<RemoteObject> parent)
{
    auto current = this->parent();
    if (current == parent)
        return;
    // The base refuses a parent inside this widget's own subtree; it does so before the view
    // has moved, so that a refused parent leaves everything as it was.
    if (parent && isInSubtree(*parent))
        return RemoteClass::setParent(parent);
    // The view trees may nest where the object tree does not (a tab item's control, a swipe's
    // page): the view's new place is checked too, before anything moves.
    if (parent)
        ViewPlacement::check(view().get(), hostViewOf(*parent).get(), client().get(), "parent", parent->objectId(), objectId());
    if (current)
        disconnectFromParent(*current);
    RemoteClass::setParent(parent);
    if (parent)
        connectToParent(*parent);
}

bool BasicWidget::isInSubtree(const RemoteObject& object) const
{
    if (&object == this)
        return true;
    // Remember what was seen, so that the walk ends even on a malformed chain.
    std::unordered_set<const RemoteObject*> seen { &object };
    for (auto current = object.parent(); current && seen.insert(current.get()).second; current = current->parent()) {
        if (current.get() == this)
            return true;
    }
    return false;
}

std::shared_ptr<platform::View> BasicWidget::hostViewOf(RemoteObject& parent)
{
    if (auto* display = dynamic_cast<Display*>(&parent))
        return display->screen();
    auto* container = dynamic_cast<WidgetContainer*>(&parent);
    return container ? container->view() : nullptr;
}

void BasicWidget::disconnectFromParent(RemoteObject& parent)
{
    if (!dynamic_cast<WidgetContainer*>(&parent))
        return;
    ViewPlacement::takeOut(view(), client().get());
    didMoveToSuperview(nullptr);
}

void BasicWidget::connectToParent(RemoteObject& parent)
{
    // Top-level widgets sit directly on the display's screen, without default layout data.
    if (auto* display = dynamic_cast<Display*>(&parent)) {
        auto screen = display->screen();
        if (auto view = this->view(); view && screen)
            screen->addSubview(view);
        didMoveToSuperview(screen);
        return;
    }
    auto* container = dynamic_cast<WidgetContainer*>(&parent);
    if (!container)
        return;
    ensureLayoutDataExistsOn(*this);
    container->addWidgetView(*this);
    didMoveToSuperview(container->view());
}

void BasicWidget::didMoveToSuperview(const std::shared_ptr<platform::View>&)
{
    if (m_clientLayout)
        m_clientLayout->layout();
    else if (!hasPlacement(m_layoutData))
        placeWithoutLayoutData();
}

void BasicWidget::ensureLayoutDataExistsOn(RemoteObject& object)
{
    auto* widget = dynamic_cast<BasicWidget*>(&object);
    if (widget && !widget->layoutData())
        widget->setLayoutData(Value::object());
}

void BasicWidget::destroy()
{
    if (auto view = this->view())
        view->endEditing(true);
    if (m_clientLayout)
        m_clientLayout->dispose();
    RemoteClass::destroy();
}

// MARK: Visibility and enabled

bool BasicWidget::processingFinished()
{
    bool keepObserving = RemoteClass::processingFinished();
    if (creationPhase())
        setInternalVisibility(m_visibility);
    return keepObserving;
}

void BasicWidget::setVisibility(bool visible)
{
    m_visibility = visible;
    if (!creationPhase())
        setInternalVisibility(visible);
}

void BasicWidget::setInternalVisibility(bool visible)
{
    if (auto view = this->view())
        view->setHidden(!visible);
}

void BasicWidget::setEnabled(bool enabled)
{
    m_enabled = enabled;
    auto view = this->view();
    if (!view)
        return;
    view->setUserInteractionEnabled(enabled);
    auto& animator = platform::Animator::shared();
    animator.begin();
    animator.setDuration(kEnableFadeDuration);
    view->setAlpha(enabled ? 1.0 : kDisabledAlpha);
    animator.commit();
}

// MARK: Style and data

bool BasicWidget::hasStyle(const StyleDeclaration& word) const
{
    return styleHasWord(m_style, word);
}

void BasicWidget::setData(std::optional<Value> data)
{
    m_data = std::move(data);
    if (m_clientLayout)
        m_clientLayout->setAnimated(animateLayout());
}

bool BasicWidget::dataForKey(const std::string& key, const Value& value) const
{
    if (!m_data || !m_data->is_object())
        return false;
    auto entry = m_data->find(key);
    return entry != m_data->end() && platform::valuesEqual(*entry, value);
}

bool BasicWidget::animateLayout() const
{
    return dataForKey("animated", Value(true)) && !dynamic_cast<const LayoutNotAnimatable*>(this);
}

// MARK: Look

void BasicWidget::setBackground(std::optional<platform::Color> color)
{
    m_background = color;
    if (auto view = this->view())
        view->setBackgroundColor(color);
}

std::optional<Value> BasicWidget::opacity() const
{
    auto view = this->view();
    return Value(static_cast<float>(view ? view->alpha() : 0));
}

void BasicWidget::setOpacity(std::optional<Value> opacity)
{
    auto number = opacity ? platform::numberValue(*opacity) : std::nullopt;
    if (auto view = this->view())
        view->setAlpha(WireNumber::singlePrecision(number.value_or(0)));
}

void BasicWidget::setTransform(std::optional<Value> value)
{
    platform::AffineTransform transform;
    if (value && value->is_object()) {
        const auto& id = objectId();
        auto rotation = transformComponent(*value, "rotation", id);
        auto translationX = transformComponent(*value, "translationX", id);
        auto translationY = transformComponent(*value, "translationY", id);
        auto scaleX = transformComponent(*value, "scaleX", id);
        auto scaleY = transformComponent(*value, "scaleY", id);
        float sx = scaleX.value_or(1.0f);
        float sy = scaleY.value_or(1.0f);
        float tx = translationX.value_or(0.0f);
        float ty = translationY.value_or(0.0f);
        if (rotation)
            transform = transform.concatenated(platform::AffineTransform::rotation(*rotation));
        bool translates = translationX || translationY;
        bool scales = scaleX || scaleY;
        if (translates && (sx == 0 || sy == 0)) {
            // Dividing by a zero scale would put infinities into the view. The limit of the
            // steps below: rotation and scale as usual, the translation exactly as given.
            if (scales)
                transform = transform.concatenated(platform::AffineTransform::scale(sx, sy));
            transform.tx = tx;
            transform.ty = ty;
        } else {
            if (translates)
                transform = transform.concatenated(
                    platform::AffineTransform::translation(saturatedQuotient(tx, sx), saturatedQuotient(ty, sy)));
            if (scales)
                transform = transform.concatenated(platform::AffineTransform::scale(sx, sy));
        }
    }
    if (auto view = this->view())
        view->setTransform(transform);
}

std::optional<Value> BasicWidget::transform() const
{
    auto view = this->view();
    platform::AffineTransform t = view ? view->transform() : platform::AffineTransform { 0, 0, 0, 0, 0, 0 };
    // Worked out in double: squaring a finite float scale may leave the float range.
    double scaleX = std::hypot(t.a, t.c);
    double scaleY = std::hypot(t.b, t.d);
    // A zero scale leaves one axis without a direction: the rotation comes from the other one.
    double rotation = 0;
    if (scaleX != 0 && scaleY != 0)
        rotation = std::atan2(t.b / scaleY, t.a / scaleX);
    else if (scaleY != 0)
        rotation = std::atan2(t.b, t.d);
    else if (scaleX != 0)
        rotation = std::atan2(-t.c, t.a);
    Value result = Value::object();
    result["scaleX"] = WireNumber::singlePrecision(scaleX);
    result["scaleY"] = WireNumber::singlePrecision(scaleY);
    result["translationX"] = WireNumber::singlePrecision(t.tx);
    result["translationY"] = WireNumber::singlePrecision(t.ty);
    result["rotation"] = WireNumber::singlePrecision(rotation);
    return result;
}

// MARK: Layout

void BasicWidget::setLayoutData(std::optional<Value> layoutData)
{
    m_layoutData = std::move(layoutData);
    replaceLayout(m_layoutData && ClientLayout::isAbsoluteData(*m_layoutData));
}

platform::Rect BasicWidget::bounds() const
{
    auto view = this->view();
    if (!view)
        return {};
    // A frame may grow past the float range (a huge scale, a huge percentage); it reads back
    // saturated, as the wire's floats can carry it.
    platform::Rect frame = view->frame();
    return { WireNumber::singlePrecision(frame.x()), WireNumber::singlePrecision(frame.y()),
        WireNumber::singlePrecision(frame.width()), WireNumber::singlePrecision(frame.height()) };
}

void BasicWidget::setBounds(platform::Rect bounds)
{
    Value data = Value::object();
    data["left"] = WireNumber::singlePrecision(bounds.x());
    data["top"] = WireNumber::singlePrecision(bounds.y());
    data["width"] = WireNumber::singlePrecision(bounds.width());
    data["height"] = WireNumber::singlePrecision(bounds.height());
    m_layoutData = std::move(data);
    replaceLayout(true);
}

bool BasicWidget::hasPlacement(const std::optional<Value>& layoutData)
{
    return layoutData && !(layoutData->is_object() && layoutData->empty());
}

void BasicWidget::replaceLayout(bool absolute)
{
    if (m_clientLayout)
        m_clientLayout->dispose();
    m_clientLayout.reset();
    // A relative layout of nothing would pin the view at the top left at its natural size and
    // undo the frame a widget that places itself gives its view.
    if (!absolute && !hasPlacement(m_layoutData) && placeWithoutLayoutData())
        return;
    m_clientLayout = ClientLayout::newLayoutWithView(view(), m_layoutData.value_or(Value::object()), absolute, client());
    m_clientLayout->setAnimated(animateLayout());
    m_clientLayout->layout();
}

void BasicWidget::updateConstraints()
{
    if (m_clientLayout)
        m_clientLayout->updateConstraints();
    auto view = this->view();
    if (!view)
        return;
    // A copy: a subview's update may change the list.
    auto subviews = view->subviews();
    for (const auto& subview : subviews)
        subview->updateConstraints();
}

// MARK: Background image

const std::shared_ptr<platform::ImageView>& BasicWidget::backgroundHolder()
{
    if (!m_backgroundHolder)
        m_backgroundHolder = platform::ImageView::create();
    return m_backgroundHolder;
}

void BasicWidget::setBackgroundImage(std::optional<Value> image)
{
    m_backgroundImage = std::move(image);
    if ((!m_backgroundImage || m_backgroundImage->is_null()) && m_backgroundHolder)
        ImageViewMorvix::cancelImageRequestOperation(*m_backgroundHolder);
}

void BasicWidget::applyBackgroundImage(const std::optional<Value>& image, const std::shared_ptr<platform::View>& target)
{
    if (!target)
        return;
    if (!image || image->is_null()) {
        target->setBackgroundColor(std::nullopt);
        return;
    }
    std::weak_ptr<platform::View> weakTarget = target;
    ImageViewMorvix::setImageWithProperties(backgroundHolder(), *image, client(),
        [weakTarget](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) { showPatternImage(weakTarget, loaded); },
        [weakTarget](const auto&, const auto&, const platform::Error&) {
            if (auto view = weakTarget.lock())
                view->setBackgroundColor(std::nullopt);
        });
}

void BasicWidget::showPatternImage(const std::weak_ptr<platform::View>& target, const std::shared_ptr<platform::Image>& image)
{
    auto view = target.lock();
    if (!view || !image)
        return;
    view->setBackgroundPatternImage(prepareImageForPattern(image));
}

std::shared_ptr<platform::Image> BasicWidget::prepareImageForPattern(const std::shared_ptr<platform::Image>& image)
{
    if (!image)
        return nullptr;
    double scale = systemScale();
    if (scale == 1.0 || image->scale() > 1.0)
        return image;
    return scaleImage(*image, scale);
}

std::shared_ptr<platform::Image> BasicWidget::scaleImage(const platform::Image& image, double scale)
{
    auto size = image.size();
    platform::BitmapContext bitmap(static_cast<int>(size.width * scale), static_cast<int>(size.height * scale));
    if (!bitmap.isValid())
        return nullptr;
    // The bitmap context draws images upright with its origin at the top left, so the vertical
    // flip that a bottom-up context needs is left out here.
    bitmap.context().drawImage(image, platform::Rect(0, 0, bitmap.pixelWidth(), bitmap.pixelHeight()));
    return bitmap.image(scale, platform::ImageOrientation::Up);
}

double BasicWidget::systemScale()
{
    return platform::Screen::main().scale();
}

} // namespace morvix
