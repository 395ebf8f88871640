#include "widgets/foundation/Shell.h"

#include "core/objects/ClientContext.h"
#include "core/objects/TypeConverter.h"
#include "core/outgoing/Notification.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "widgets/foundation/AnimationOrigin.h"
#include "widgets/foundation/Display.h"
#include "widgets/foundation/ShadeView.h"
#include "widgets/images/ShellImageRenderer.h"
#include "widgets/text/FontHelper.h"

#include <cmath>
#include <cstdint>

namespace morvix {

using platform::Animator;
using platform::Rect;
using platform::Value;
namespace AnimationOption = platform::AnimationOption;

namespace {

constexpr const char* kOrientationNotification = "UIDeviceOrientationDidChangeNotification";
constexpr double kTitleTop = 13;
constexpr double kTitleHeight = 26;
constexpr double kCloseButtonSide = 30;
constexpr double kCloseImageInset = 6;

constexpr StyleDeclaration kApplicationModalStyle {
    .word = "APPLICATION_MODAL",
    .effect = "modal: a shade in \"data\"'s \"overlayColor\" (black at 0.4 by default) covers everything behind it",
};
constexpr StyleDeclaration kPrimaryModalStyle { .word = "PRIMARY_MODAL", .effect = "modal, as \"APPLICATION_MODAL\"" };
constexpr StyleDeclaration kSystemModalStyle { .word = "SYSTEM_MODAL", .effect = "modal, as \"APPLICATION_MODAL\"" };
constexpr StyleDeclaration kNoneStyle {
    .word = "NONE",
    .effect = "no rounded border (a shell has one unless \"NONE\", \"NO_TRIM\" or \"SHEET\" is given)",
};
constexpr StyleDeclaration kNoTrimStyle { .word = "NO_TRIM", .effect = "no rounded border, as \"NONE\"" };
constexpr StyleDeclaration kSheetStyle { .word = "SHEET", .effect = "no rounded border, as \"NONE\"" };
constexpr StyleDeclaration kBorderStyle {
    .word = "BORDER",
    .effect = "a rounded border, also with \"NONE\", \"NO_TRIM\" or \"SHEET\"",
};
constexpr StyleDeclaration kResizeStyle { .word = "RESIZE", .effect = "a rounded border, as \"BORDER\"" };
constexpr StyleDeclaration kTitleStyle {
    .word = "TITLE",
    .effect = "shows \"text\" as a title line at the top; without it the title is not shown",
};
constexpr StyleDeclaration kCloseStyle {
    .word = "CLOSE",
    .effect = "a close button in the top right corner; pressing it sends \"Close\" and does not close the shell",
};

constexpr EventDeclaration kCloseEvent {
    .listen = "Close",
    .name = "Close",
    .note = "when the user presses the close button (\"CLOSE\"); the shell stays open",
};
constexpr EventDeclaration kResizeEvent {
    .listen = "Resize",
    .name = "Resize",
    .attributes = R"({"bounds": [0, 0, width, height]})",
    .sentWithoutListen = true,
    .note = "after \"bounds\", when a \"maximized\" or \"fullscreen\" shell has followed the screen's new size; "
            "listening changes nothing",
};
constexpr ReportDeclaration kBoundsReport {
    .name = "bounds",
    .kind = "[0, 0, width, height]",
    .note = "the new size of a \"maximized\" or \"fullscreen\" shell after the screen's size changed: scheduled, "
            "then \"Resize\"",
};

bool isModalStyle(const Shell& shell)
{
    return shell.hasStyle(kApplicationModalStyle) || shell.hasStyle(kPrimaryModalStyle) || shell.hasStyle(kSystemModalStyle);
}

bool hasBorderStyle(const Shell& shell)
{
    bool trimmed = !shell.hasStyle(kNoneStyle) && !shell.hasStyle(kNoTrimStyle) && !shell.hasStyle(kSheetStyle);
    return trimmed || shell.hasStyle(kBorderStyle) || shell.hasStyle(kResizeStyle);
}

} // namespace

const WireTable& Shell::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire())
                                       .style(kApplicationModalStyle)
                                       .style(kPrimaryModalStyle)
                                       .style(kSystemModalStyle)
                                       .style(kNoneStyle)
                                       .style(kNoTrimStyle)
                                       .style(kSheetStyle)
                                       .style(kBorderStyle)
                                       .style(kResizeStyle)
                                       .style(kTitleStyle)
                                       .style(kCloseStyle)
                                       .event(kCloseEvent)
                                       .event(kResizeEvent)
                                       .report(kBoundsReport);
    return table;
}

Shell::Shell(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_shell(platform::View::create())
    , m_overlayColor(platform::Color::fromRGBA(0, 0, 0, 0.4))
    , m_titleLabel(platform::Label::create())
    , m_imageRenderer(std::make_unique<ShellImageRenderer>())
{
    m_shell->setClipsToBounds(false);
    m_titleLabel->setTextAlignment(platform::TextAlignment::Center);
    m_titleLabel->setFont(FontHelper::shellTitleFont());
    m_titleLabel->setTextColor(FontHelper::labelColor());
    m_titleLabel->setBackgroundColor(platform::Color::clear());
}

Shell::~Shell() = default;

void Shell::didConstruct()
{
    RemoteClass::didConstruct();
    setBackground(FontHelper::backgroundColor());
    // Stored only: the creation phase is on, so the view stays hidden until presented.
    RemoteClass::setVisibility(false);
    m_orientationObserver = platform::NotificationCenter::defaultCenter()->addObserver(kOrientationNotification, nullptr,
        [weak = weak_from_this()](const platform::Notification&) {
            if (auto self = std::static_pointer_cast<Shell>(weak.lock()))
                self->rotated();
        });
}

const PropertyTable& Shell::properties()
{
    static const PropertyTable table = PropertyTable::extend<Shell>(AbstractComposite::properties())
                                           .rect("bounds", &Shell::setBounds, &Shell::bounds)
                                           .string("text", &Shell::setText, &Shell::text)
                                           .string("mode", &Shell::setMode,
                                               [](const Shell& self) { return std::optional<std::string>(self.mode()); })
                                           .number("alpha", &Shell::setAlpha, &Shell::alpha)
                                           .boolean("active", &Shell::setActive, &Shell::isActive)
                                           .array("minimumSize", &Shell::setMinimumSize, &Shell::minimumSize)
                                           .flag("activateListener", &Shell::m_activateListener)
                                           .flag("moveListener", &Shell::m_moveListener)
                                           .flag("closeListener", &Shell::m_closeListener);
    return table;
}

const PropertyNames& Shell::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(AbstractComposite::remoteObjectProperties(),
        { "text", "mode", "alpha", "active" });
    return names;
}

std::shared_ptr<platform::View> Shell::view() const
{
    return m_shell;
}

// MARK: The display

std::shared_ptr<Display> Shell::display() const
{
    auto client = this->client();
    return client ? std::dynamic_pointer_cast<Display>(client->rootObject()) : nullptr;
}

bool Shell::isFirstShell() const
{
    auto display = this->display();
    if (!display)
        return true;
    for (const auto& child : display->objects()) {
        if (child.get() != this && dynamic_cast<const Shell*>(child.get()))
            return false;
    }
    return true;
}

platform::Size Shell::area() const
{
    if (auto display = this->display())
        return display->size();
    return platform::Screen::main().bounds().size;
}

platform::Size Shell::screenSize() const
{
    auto display = this->display();
    auto screen = display ? display->screen() : nullptr;
    return screen ? screen->bounds().size : platform::Screen::main().bounds().size;
}

Rect Shell::contentBounds() const
{
    auto display = this->display();
    auto view = display ? display->view() : nullptr;
    auto screen = display ? display->screen() : nullptr;
    if (!view || !screen)
        return platform::Screen::main().bounds();
    return view->convertRectTo(view->bounds(), screen.get());
}

platform::Point Shell::displayOffset() const
{
    auto display = this->display();
    if (!display || parent() != display)
        return {};
    return display->displayOffset();
}

bool Shell::useAnimation() const
{
    return dataForKey("animated", Value(true));
}

// MARK: Properties

void Shell::setStyle(std::optional<Value> style)
{
    RemoteClass::setStyle(std::move(style));
    if (isModalStyle(*this)) {
        // Made once: a second modal style must not leave an orphan shade dimming the screen.
        if (!m_shade) {
            auto size = screenSize();
            m_shade = ShadeView::create({ 0, 0, size.width, size.height }, m_overlayColor);
            m_shade->setUserInteractionEnabled(true);
            m_shade->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
        }
        if (auto superview = m_shell->superview())
            superview->bringSubviewToFront(m_shell);
    }
    if (hasBorderStyle(*this))
        m_shell->layer().setCornerRadius(kCornerRadius);
    if (hasStyle(kTitleStyle))
        m_shell->addSubview(m_titleLabel);
    if (hasStyle(kCloseStyle) && !m_closeButton) {
        m_closeButton = platform::Button::create(platform::ButtonType::Custom);
        m_closeButton->setImage(m_imageRenderer->image());
        m_closeButton->addAction(
            [weak = weak_from_this()](platform::Control&, const platform::Event*) {
                if (auto self = std::static_pointer_cast<Shell>(weak.lock()))
                    self->closePressed();
            },
            platform::ControlEventTouchUpInside);
        m_closeButton->setImageEdgeInsets({ kCloseImageInset, 0, 0, kCloseImageInset });
        m_shell->addSubview(m_closeButton);
        if (m_bounds)
            setBounds(*m_bounds);
    }
}

Rect Shell::bounds() const
{
    if (m_bufferedBounds)
        return *m_bufferedBounds;
    if (m_bounds)
        return *m_bounds;
    return m_shell->frame();
}

void Shell::setBounds(Rect bounds)
{
    m_bounds = bounds;
    auto offset = displayOffset();
    setAbsoluteBounds(bounds.offsetBy(offset.x, offset.y));
}

void Shell::setAbsoluteBounds(const Rect& bounds)
{
    if (m_animating) {
        m_bufferedBounds = bounds;
        return;
    }
    RemoteClass::setBounds(bounds);
    m_titleLabel->setFrame({ 0, kTitleTop, bounds.width(), kTitleHeight });
    if (m_closeButton)
        m_closeButton->setFrame({ bounds.width() - kCloseButtonSide, 0, kCloseButtonSide, kCloseButtonSide });
}

void Shell::setVisibility(bool visible)
{
    RemoteClass::setVisibility(visible);
    if (visible && !creationPhase() && m_isNew) {
        m_isNew = false;
        presentNewShell();
    }
}

void Shell::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color);
    m_titleLabel->setTextColor(color.value_or(FontHelper::labelColor()));
    m_imageRenderer->setColor(color.value_or(FontHelper::activeTextColor()));
    if (m_closeButton)
        m_closeButton->setImage(m_imageRenderer->image());
}

void Shell::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    const auto& stored = this->data();
    if (!stored || !stored->is_object())
        return;
    auto entry = stored->find("overlayColor");
    if (entry == stored->end())
        return;
    auto color = TypeConverter::toUIColor(*entry);
    if (!color)
        return;
    m_overlayColor = *color;
    if (m_shade)
        m_shade->setColor(m_overlayColor);
}

void Shell::setBackgroundImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (hasImage)
        applyBackgroundImage(image, m_shell);
    else
        m_shell->setBackgroundColor(background());
}

std::optional<std::string> Shell::text() const
{
    return m_titleLabel->text();
}

void Shell::setText(std::optional<std::string> text)
{
    m_titleLabel->setText(text.value_or(std::string()));
}

void Shell::setMode(std::optional<std::string> mode)
{
    bool known = mode && (*mode == "maximized" || *mode == "fullscreen");
    m_mode = known ? *mode : "normal";
}

bool Shell::isMaximized() const
{
    return m_mode == "maximized" || m_mode == "fullscreen";
}

std::optional<Value> Shell::alpha() const
{
    return Value(static_cast<float>(m_shell->alpha() * 255));
}

void Shell::setAlpha(std::optional<Value> alpha)
{
    auto number = alpha ? platform::numberValue(*alpha) : std::nullopt;
    m_shell->setAlpha(number ? *number / 255 : 1.0);
}

void Shell::setActive(bool active)
{
    m_active = active;
    if (!active)
        return;
    if (auto superview = m_shell->superview())
        superview->bringSubviewToFront(m_shell);
}

// MARK: Events

void Shell::closePressed()
{
    if (!m_closeListener)
        return;
    if (auto notification = notificationForObject())
        notification->fire(kCloseEvent, Value::object());
}

void Shell::rotated()
{
    auto content = contentBounds();
    if (isMaximized() && content.size != m_shell->bounds().size) {
        setBounds({ 0, 0, content.width(), content.height() });
        Value bounds = Value::array({ 0, 0, static_cast<std::int64_t>(std::trunc(content.width())),
            static_cast<std::int64_t>(std::trunc(content.height())) });
        if (auto notification = notificationForObject()) {
            notification->report(kBoundsReport, bounds);
            notification->schedule();
        }
        if (auto notification = notificationForObject()) {
            Value attributes = Value::object();
            attributes["bounds"] = std::move(bounds);
            notification->fire(kResizeEvent, std::move(attributes));
        }
    }
    if (m_shade) {
        auto size = screenSize();
        m_shade->setFrame({ 0, 0, size.width, size.height });
    }
}

// MARK: Presentation

bool Shell::processingFinished()
{
    bool keepObserving = RemoteClass::processingFinished();
    auto client = this->client();
    if (client && !client->morvixUIActive() && !parent()) {
        if (auto display = this->display())
            setParent(display);
    }
    if (visibility() && m_isNew) {
        m_isNew = false;
        presentNewShell();
    }
    return keepObserving;
}

void Shell::presentNewShell()
{
    auto superview = m_shell->superview();
    if (m_shade && superview) {
        superview->insertSubviewBelow(m_shade, m_shell);
        m_shade->setAlpha(0);
        auto& animator = Animator::shared();
        animator.begin(objectId() + ".shade.fadeIn");
        animator.setDuration(kShadeFadeDuration);
        m_shade->setAlpha(kShadeAlpha);
        animator.commit();
    }
    openAnimated();
}

void Shell::destroy()
{
    if (m_closing || isDisposed())
        return;
    m_closing = true;
    m_orientationObserver.reset();
    closeAnimated();
}

// MARK: Opening and closing

void Shell::openAnimated()
{
    m_animating = true;
    auto origin = AnimationOrigin::computeOrigin(bounds(), area());
    auto client = this->client();
    bool first = isFirstShell();
    if (first && client && client->morvixUIActive())
        return openAnimationDidStop();
    if (first || (isMaximized() && !useAnimation()))
        return openAnimatedByFadingIn();
    if (!isMaximized() && origin == bounds())
        return openAsDialog();
    openAnimatedByMovingInFrom(origin);
}

void Shell::openAnimatedByFadingIn()
{
    double alpha = m_shell->alpha();
    m_shell->setAlpha(0);
    Animator::shared().animate(kAnimationDuration, 0, AnimationOption::BeginFromCurrentState,
        [view = m_shell, alpha] { view->setAlpha(alpha); },
        [weak = weak_from_this()](bool) {
            if (auto self = std::static_pointer_cast<Shell>(weak.lock()))
                self->openAnimationDidStop();
        });
}

void Shell::openAsDialog()
{
    double alpha = m_shell->alpha();
    m_shell->setAlpha(0);
    m_shell->setTransform(platform::AffineTransform::scale(kDialogScale, kDialogScale));
    Animator::shared().animateSpring(kAnimationDuration, 0, kSpringDamping, 0, AnimationOption::CurveLinear,
        [view = m_shell, alpha] {
            view->setAlpha(alpha);
            view->setTransform(platform::AffineTransform::identity());
        },
        [weak = weak_from_this()](bool) {
            if (auto self = std::static_pointer_cast<Shell>(weak.lock()))
                self->openAnimationDidStop();
        });
    applyDepth();
}

void Shell::openAnimatedByMovingInFrom(const Rect& origin)
{
    auto target = m_shell->frame();
    auto offset = displayOffset();
    m_shell->setFrame(origin.offsetBy(offset.x, offset.y));
    auto& animator = Animator::shared();
    animator.begin(objectId() + ".shell.openAnimated");
    animator.setBeginsFromCurrentState(false);
    animator.setDidStop([weak = weak_from_this()](const std::string&, bool) {
        if (auto self = std::static_pointer_cast<Shell>(weak.lock()))
            self->openAnimationDidStop();
    });
    animator.setDuration(kAnimationDuration);
    animator.setCurve(platform::AnimationCurve::EaseInOut);
    m_shell->setFrame(target);
    animator.commit();
}

void Shell::applyDepth()
{
    m_shell->addMotionEffect({ "center.x", true, -kDepth, kDepth });
    m_shell->addMotionEffect({ "center.y", false, -kDepth, kDepth });
}

void Shell::openAnimationDidStop()
{
    // Once the close has begun, the opening only ends: the close owns the state from here.
    if (m_closing)
        return;
    m_animating = false;
    if (!m_bufferedBounds)
        return;
    // Held-back bounds carry the display offset already.
    auto buffered = *m_bufferedBounds;
    m_bufferedBounds.reset();
    setAbsoluteBounds(buffered);
}

void Shell::closeAnimated()
{
    m_animating = true;
    auto origin = AnimationOrigin::computeOrigin(bounds(), area());
    if (!isMaximized() && origin == bounds())
        return closeAsDialog();
    auto& animator = Animator::shared();
    animator.begin(objectId() + ".closeAnimation");
    animator.setBeginsFromCurrentState(true);
    animator.setCurve(platform::AnimationCurve::EaseInOut);
    animator.setDuration(kAnimationDuration);
    // Strong: a reset may drop every other reference before the close has run.
    animator.setDidStop([self = std::static_pointer_cast<Shell>(shared_from_this())](const std::string&, bool) {
        self->closeAnimationDidStop();
    });
    if (useAnimation())
        m_shell->setFrame(origin);
    if (m_shade)
        m_shade->setAlpha(0);
    animator.commit();
}

void Shell::closeAsDialog()
{
    m_shell->setTransform(platform::AffineTransform::identity());
    Animator::shared().animateSpring(kAnimationDuration, 0, kSpringDamping, 0, AnimationOption::CurveLinear,
        [view = m_shell, shade = m_shade] {
            view->setAlpha(0);
            view->setTransform(platform::AffineTransform::scale(kDialogScale, kDialogScale));
            if (shade)
                shade->setAlpha(0);
        },
        [self = std::static_pointer_cast<Shell>(shared_from_this())](bool) { self->closeAnimationDidStop(); });
}

void Shell::closeAnimationDidStop()
{
    m_animating = false;
    m_bufferedBounds.reset();
    if (m_shade)
        m_shade->removeFromSuperview();
    m_titleLabel->removeFromSuperview();
    if (m_closeButton)
        m_closeButton->removeFromSuperview();
    RemoteClass::destroy();
    // The parent takes the view off the screen; a parent already gone (a reset) cannot.
    m_shell->removeFromSuperview();
}

} // namespace morvix
