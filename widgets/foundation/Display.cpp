#include "widgets/foundation/Display.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteException.h"
#include "core/objects/ServiceObject.h"
#include "core/outgoing/Notifications.h"
#include "core/protocol/CommandOperator.h"
#include "core/session/ApplicationFrame.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/WireNumber.h"
#include "platform/ui/Application.h"
#include "platform/ui/Event.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "widgets/foundation/CancelKeyboardRecognizer.h"
#include "widgets/foundation/CursorLocationGestureRecognizer.h"
#include "widgets/foundation/OrientationReporter.h"
#include "widgets/foundation/TextWidget.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace morvix {

using platform::Value;

namespace {

std::shared_ptr<ObjectRegistry> registryOf(const std::shared_ptr<ClientContext>& client)
{
    auto* session = dynamic_cast<CommandOperator::Session*>(client.get());
    return session ? session->objectRegistry() : nullptr;
}

// The session's application frame, when it runs with one.
std::shared_ptr<ApplicationFrameController> frameOf(const std::shared_ptr<ClientContext>& client)
{
    auto* session = dynamic_cast<MorvixClient*>(client.get());
    return session ? session->applicationFrameController() : nullptr;
}

constexpr EventDeclaration kResizeEvent {
    .listen = "Resize",
    .name = "Resize",
    .attributes = R"({"bounds": [0, 0, width, height]})",
    .sentWithoutListen = true,
    .note = "when the screen's size changes (the device turned), after \"bounds\" and the device's \"orientation\" "
            "were scheduled; listening changes nothing",
};
constexpr ReportDeclaration kBoundsReport {
    .name = "bounds",
    .kind = "[0, 0, width, height]",
    .note = "the screen's size in points, whole numbers: scheduled when the display is created and when the size changes",
};
constexpr ReportDeclaration kColorDepthReport {
    .name = "colorDepth",
    .kind = "number",
    .note = "24: scheduled once, when the display is created",
};
constexpr ReportDeclaration kDpiReport {
    .name = "dpi",
    .kind = "[number, number]",
    .note = "[163, 163]: scheduled once, when the display is created",
};
constexpr ReportDeclaration kCursorLocationReport {
    .name = "cursorLocation",
    .kind = "[x, y]",
    .note = "where the last touch anywhere began or ended, in the display, rounded: stored at each touch",
};

// The display shows in the frame's top page, else on the session's root view.
std::shared_ptr<platform::View> displayViewOf(const std::shared_ptr<ClientContext>& client)
{
    if (auto frame = frameOf(client))
        return frame->topView();
    return client ? client->rootView() : nullptr;
}

} // namespace

const ReportDeclaration Display::kFocusControlReport {
    .name = "focusControl",
    .kind = "id",
    .note = "the control that took the focus (a text widget, or the control the peer gave as \"focusControl\"), "
            "scheduled 0.3 s after it did; the display's own id after a text widget loses it. A "
            "\"zub.widgets.Text\" listening to \"DefaultSelection\" whose editing ends by the return key schedules "
            "its parent's id at once",
};

const ReportDeclaration Display::kActiveControlReport {
    .name = "activeControl",
    .kind = "id",
    .note = "the id of \"focusControl\", with it at the same times",
};

const WireTable& Display::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire())
                                       .event(kResizeEvent)
                                       .report(kBoundsReport)
                                       .report(kColorDepthReport)
                                       .report(kDpiReport)
                                       .report(kCursorLocationReport)
                                       .report(kFocusControlReport)
                                       .report(kActiveControlReport);
    return table;
}

Display::Display(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), client)
    , m_view(displayViewOf(client))
{
    // A session without a root view still gets a view of its own: the Display is never viewless.
    if (!m_view)
        m_view = platform::View::create(platform::Screen::main().bounds());
    m_lastScreenSize = size();
    registerSelector(CallHandler([](const Value*) -> std::optional<Value> { return std::nullopt; }), "probe");
    registerSelector(CallHandler([](const Value*) -> std::optional<Value> { return std::nullopt; }), "measureStrings");
    registerSelector(&Display::reloadSession, "reload");
    registerSelector(&Display::beep, "beep");
}

Display::~Display() = default;

std::shared_ptr<BasicObject> Display::create(const std::string& id, const Value* properties, std::shared_ptr<ClientContext> client)
{
    // Checked before construction: a Display takes the session's root view and window over as
    // it is made, and a refused one must leave them alone.
    if (properties && properties->is_object()) {
        auto parent = properties->find("parent");
        if (parent != properties->end() && !parent->is_null())
            refuseParent(id, *parent);
    }
    return BasicObject::construct<Display>(id, std::move(client));
}

void Display::setParent(std::shared_ptr<RemoteObject> parent)
{
    if (parent)
        refuseParent(objectId(), Value(parent->objectId()));
    RemoteClass::setParent(std::move(parent));
}

void Display::refuseParent(const std::string& id, const Value& parent)
{
    RemoteException::throwIncorrectParameter("parent %@ of display '%@' refused: the display's view is the session's root view",
        parent, id);
}

const PropertyTable& Display::properties()
{
    static const PropertyTable table = PropertyTable::extend<Display>(AbstractComposite::properties())
                                           .string("focusControl", &Display::setFocusControl)
                                           .string("currentTheme", &Display::setCurrentTheme)
                                           .point("cursorLocation", &Display::m_cursorLocation);
    return table;
}

void Display::didConstruct()
{
    // The base hides the view; the Display's is the session's root view, which stays shown.
    RemoteClass::didConstruct();
    m_view->setHidden(false);
    m_cursorLocation = {};
    auto client = this->client();
    if (auto registry = registryOf(client))
        registry->setRootWidgetId(objectId());

    std::weak_ptr<Display> weak = std::static_pointer_cast<Display>(shared_from_this());
    m_cursorLocationRecognizer = CursorLocationGestureRecognizer::create(weak, [weak](const platform::Event& event) {
        if (auto self = weak.lock())
            self->cursorLocationChanged(event);
    });
    m_cancelKeyboardRecognizer = CancelKeyboardRecognizer::create(weak, [weak](platform::GestureRecognizer&) {
        if (auto self = weak.lock())
            self->cancelKeyboardRecognized();
    });
    auto window = client ? client->window() : nullptr;
    m_window = window;
    if (window) {
        window->addGestureRecognizer(m_cursorLocationRecognizer);
        window->addGestureRecognizer(m_cancelKeyboardRecognizer);
    }
    m_cancelKeyboardRecognizer->setEnabled(false);

    m_orientationObserver = platform::NotificationCenter::defaultCenter()->addObserver(
        platform::DeviceInfo::kOrientationDidChangeNotification, nullptr, [weak](const platform::Notification&) {
            // Posted on the main thread by the device; another thread would have to hop over.
            if (auto self = weak.lock())
                self->rotated();
        });
}

// MARK: Views

std::shared_ptr<platform::View> Display::view() const
{
    return m_view;
}

std::shared_ptr<platform::View> Display::screen() const
{
    // While the peer drives the application frame, top-level widgets (shells and their modal
    // shades) sit over the whole page stack, its bars included, not inside one page under them.
    auto client = this->client();
    if (client && client->morvixUIActive()) {
        auto frame = frameOf(client);
        auto root = frame ? frame->rootController() : nullptr;
        if (auto holder = root ? root->view()->superview() : nullptr)
            return holder;
    }
    // Otherwise they sit on the Display's own view.
    return m_view;
}

platform::Size Display::size() const
{
    platform::Size size = m_view->bounds().size;
    if (auto* scroll = dynamic_cast<const platform::ScrollView*>(m_view.get()))
        size.height -= scroll->contentInset().top;
    return size;
}

platform::Point Display::displayOffset() const
{
    auto screen = this->screen();
    return m_view->convertRectTo(m_view->bounds(), screen.get()).origin;
}

double Display::statusBarHeight()
{
    platform::Rect frame = platform::Application::shared().statusBarFrame();
    return std::min(frame.size.width, frame.size.height);
}

Value Display::boundsValue() const
{
    platform::Size size = this->size();
    // A peer's bounds may give the display any size a float holds; what it is told back lies in
    // the range of an integer.
    auto whole = [](double length) {
        return platform::WireNumber::clampedCount(Value(length), INT64_MIN, INT64_MAX).value_or(0);
    };
    return Value::array({ 0, 0, whole(size.width), whole(size.height) });
}

// MARK: Registration and rotation

void Display::registered()
{
    RemoteClass::registered();
    scheduleDisplayProperties();
    synchronizeServiceObjects();
    Notifications::forHead()->zubInitialize().schedule();
}

void Display::scheduleDisplayProperties()
{
    auto message = notificationForObject();
    if (!message)
        return;
    message->report(kBoundsReport, boundsValue());
    message->report(kColorDepthReport, kColorDepth);
    message->report(kDpiReport, Value::array({ kDpi, kDpi }));
    message->schedule();
}

void Display::synchronizeServiceObjects()
{
    auto registry = registryOf(client());
    if (!registry)
        return;
    for (const auto& object : registry->serviceObjects()) {
        if (auto* service = dynamic_cast<ServiceObject*>(object.get()))
            service->synchronize();
    }
}

void Display::rotated()
{
    platform::Size size = this->size();
    if (size == m_lastScreenSize)
        return;
    m_lastScreenSize = size;
    auto client = this->client();
    auto device = client ? client->objectById(std::string(kDeviceServiceId)) : nullptr;
    if (auto* reporter = dynamic_cast<OrientationReporter*>(device.get()))
        reporter->sendOrientation();
    Value bounds = boundsValue();
    sendScreenSize(bounds);
    Value attributes = Value::object();
    attributes["bounds"] = bounds;
    if (auto message = notificationForObject())
        message->fire(kResizeEvent, std::move(attributes));
    dismissFocus();
}

void Display::sendScreenSize(const Value& bounds)
{
    if (auto message = notificationForObject())
        message->report(kBoundsReport, bounds).schedule();
}

// MARK: Touches and focus

void Display::cursorLocationChanged(const platform::Event& event)
{
    const auto& touches = event.allTouches();
    if (!touches.empty())
        m_cursorLocation = touches.front()->locationIn(m_view.get());
    if (auto message = notificationForObject())
        message->report(kCursorLocationReport, Value::array({ std::lround(m_cursorLocation.x), std::lround(m_cursorLocation.y) })).store();
}

void Display::cancelKeyboardRecognized()
{
    dismissFocus();
}

std::shared_ptr<platform::View> Display::activeTextField() const
{
    if (auto frame = frameOf(client()))
        return frame->activeTextField();
    return m_activeTextField;
}

void Display::setActiveTextField(std::shared_ptr<platform::View> field)
{
    if (auto frame = frameOf(client())) {
        frame->setActiveTextField(std::move(field));
        return;
    }
    m_activeTextField = std::move(field);
}

void Display::dismissFocus()
{
    if (auto frame = frameOf(client())) {
        frame->dismissFocus();
        return;
    }
    auto field = m_activeTextField;
    if (!field)
        return;
    field->resignFirstResponder();
    m_activeTextField.reset();
    setFocusControl(std::nullopt);
    m_view->endEditing(true);
}

void Display::setFocusControl(std::optional<std::string> id)
{
    m_focusControl = id;
    std::shared_ptr<RemoteObject> control;
    if (!id)
        control = std::static_pointer_cast<Display>(shared_from_this());
    else if (auto client = this->client())
        control = client->objectById(*id);
    bool textWidget = dynamic_cast<TextWidget*>(control.get()) != nullptr;
    auto* widget = dynamic_cast<Widget*>(control.get());
    setActiveTextField(textWidget && widget ? widget->view() : nullptr);
    if (m_cancelKeyboardRecognizer)
        m_cancelKeyboardRecognizer->setEnabled(textWidget);
    if (!dynamic_cast<Control*>(control.get()))
        return;

    // The report holds the id, not the control, and `destroy` cancels it.
    std::weak_ptr<Display> weak = std::static_pointer_cast<Display>(shared_from_this());
    auto slot = std::make_shared<platform::MainLoop::TimerId>(0);
    auto delay = std::chrono::round<platform::Duration>(std::chrono::duration<double>(kFocusReportDelay));
    *slot = platform::MainLoop::main().postAfter(delay, [weak, slot, controlId = control->objectId()] {
        if (auto self = weak.lock())
            self->focusOnControl(controlId, *slot);
    });
    m_focusReports.push_back(*slot);
}

void Display::focusOnControl(const std::string& id, platform::MainLoop::TimerId report)
{
    std::erase(m_focusReports, report);
    auto message = notificationForObject();
    if (!message)
        return;
    message->report(kFocusControlReport, id);
    message->report(kActiveControlReport, id);
    message->schedule();
}

// MARK: Calls

void Display::reloadSession(const Value* properties)
{
    std::string text;
    if (properties && properties->is_object()) {
        auto found = properties->find("message");
        if (found != properties->end() && found->is_string())
            text = found->get<std::string>();
    }
    std::weak_ptr<platform::AlertViewDelegate> delegate = std::static_pointer_cast<Display>(shared_from_this());
    m_restartAlert = platform::AlertView::create("Restart Session", std::move(text), delegate, {}, { "OK" });
    m_restartAlert->show();
}

void Display::clickedButtonAtIndex(platform::AlertView& alert, int)
{
    if (&alert != m_restartAlert.get())
        return;
    m_restartAlert.reset();
    // Loading destroys this Display; the session outlives the call.
    if (auto client = this->client())
        client->load();
}

void Display::beep(const Value*)
{
    platform::Application::shared().playSystemSound(kBeepSound);
}

void Display::presentModalViewController(const std::shared_ptr<platform::ViewController>& controller, bool animated)
{
    auto client = this->client();
    auto frame = frameOf(client);
    auto root = frame ? frame->rootController() : nullptr;
    if (!root) {
        if (client)
            client->log(LogEntry("Display cannot present a modal view controller: the session has no root view controller", LogEntry::Type::Warning));
        return;
    }
    root->presentViewController(controller, animated ? platform::Animated::Yes : platform::Animated::No);
}

// MARK: Lifetime

void Display::destroy()
{
    if (auto window = m_window.lock(); window && m_cursorLocationRecognizer) {
        window->removeGestureRecognizer(m_cursorLocationRecognizer);
        window->removeGestureRecognizer(m_cancelKeyboardRecognizer);
    }
    m_cursorLocationRecognizer.reset();
    m_cancelKeyboardRecognizer.reset();
    m_orientationObserver.reset();
    for (auto report : m_focusReports)
        platform::MainLoop::main().cancel(report);
    m_focusReports.clear();
    m_activeTextField.reset();
    RemoteClass::destroy();
}

} // namespace morvix
