#include "Libraries/SheetPicker/AbstractSheetPicker.h"

#include "Libraries/SheetPicker/PSActionSheet.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/Font.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/pickers/PickerView.h"

namespace morvix {

using namespace platform;

// The frame has older branches for foundation versions up to 993.0 (a black translucent bar,
// white title, no side toolbars) and up to 1047.25 (a view size fixed at 320 by 480 or 568).
// The headless platform's `DeviceInfo::kFoundationVersionNumber` is above both, so only the
// newer branch is written.
static_assert(DeviceInfo::kFoundationVersionNumber > 1047.25);

AbstractSheetPicker::AbstractSheetPicker(SheetPickerTarget target, CancelAction cancelAction, SheetPickerOrigin origin)
    : m_target(std::move(target))
    , m_cancelAction(std::move(cancelAction))
{
    if (auto item = origin.barButtonItem())
        m_barButtonItem = item;
    else if (auto view = origin.view())
        m_containerView = view;
}

AbstractSheetPicker::~AbstractSheetPicker()
{
    if (auto picker = std::dynamic_pointer_cast<PickerView>(m_pickerView)) {
        picker->setDelegate({});
        picker->setDataSource({});
    }
}

void AbstractSheetPicker::finishCreation()
{
    m_doneItem = createButton(BarButtonSystemItem::Done, &AbstractSheetPicker::actionPickerDone);
    m_cancelItem = createButton(BarButtonSystemItem::Cancel, &AbstractSheetPicker::actionPickerCancel);
    m_selfReference = shared_from_this();
}

void AbstractSheetPicker::wire(const std::shared_ptr<BarButtonItem>& item, void (AbstractSheetPicker::*action)())
{
    std::weak_ptr<AbstractSheetPicker> weak = weak_from_this();
    auto run = [weak, action] {
        if (auto picker = weak.lock())
            (picker.get()->*action)();
    };
    if (auto control = std::dynamic_pointer_cast<Control>(item->customView())) {
        control->addTarget(shared_from_this(), [run](Control&, const Event*) { run(); }, ControlEventTouchUpInside);
        return;
    }
    item->setTarget(weak, [run](BarButtonItem&) { run(); });
}

std::shared_ptr<BarButtonItem> AbstractSheetPicker::createButton(BarButtonSystemItem systemItem, void (AbstractSheetPicker::*action)())
{
    auto item = BarButtonItem::createSystem(systemItem);
    if (action)
        wire(item, action);
    return item;
}

void AbstractSheetPicker::setDoneButton(const std::shared_ptr<BarButtonItem>& item)
{
    if (!item)
        return;
    wire(item, &AbstractSheetPicker::actionPickerDone);
    m_doneItem = item;
}

void AbstractSheetPicker::setCancelButton(const std::shared_ptr<BarButtonItem>& item)
{
    if (!item)
        return;
    wire(item, &AbstractSheetPicker::actionPickerCancel);
    m_cancelItem = item;
}

void AbstractSheetPicker::addCustomButton(std::optional<std::string> title, Value value)
{
    m_customButtons.push_back({ title.value_or(std::string()), value.is_null() ? Value(0) : std::move(value) });
}

Size AbstractSheetPicker::viewSize() const
{
    if (DeviceInfo::current().idiom() == DeviceIdiom::Pad)
        return { kPadSize, kPadSize };
    return Screen::main().bounds().size;
}

bool AbstractSheetPicker::isViewPortrait() const
{
    auto orientation = Application::shared().statusBarOrientation();
    return orientation == InterfaceOrientation::Portrait || orientation == InterfaceOrientation::PortraitUpsideDown;
}

SheetPickerOrigin AbstractSheetPicker::storedOrigin() const
{
    if (auto item = barButtonItem())
        return item;
    return containerView();
}

void AbstractSheetPicker::showSheetPicker()
{
    auto keep = shared_from_this();
    Size size = viewSize();
    auto content = View::create({ 0, 0, size.width, kContentHeight });
    if (DeviceInfo::current().machine.find("iPhone3") != std::string::npos)
        content->setBackgroundColor(Color::fromRGBA(0.97f, 0.97f, 0.97f, 1));
    m_toolbar = createPickerToolbar(m_title);
    content->addSubview(m_toolbar);
    // Thin toolbars down both sides, behind everything, carry the bar's colour past the wheel.
    double top = m_toolbar->frame().y();
    for (double x : { 0.0, content->frame().width() - kSideToolbarWidth }) {
        auto side = Toolbar::create({ x, top, kSideToolbarWidth, content->frame().height() - top });
        side->setBarTintColor(m_toolbar->barTintColor());
        content->insertSubview(side, 0);
    }
    if (auto picker = configuredPickerView())
        content->addSubview(picker);
    presentPickerForView(content);
}

std::shared_ptr<Toolbar> AbstractSheetPicker::createPickerToolbar(const std::optional<std::string>& title)
{
    auto toolbar = Toolbar::create({ 0, 0, viewSize().width, kToolbarHeight });
    std::vector<std::shared_ptr<BarButtonItem>> items;
    if (!m_hideCancel)
        items.push_back(m_cancelItem);
    for (std::size_t index = 0; index < m_customButtons.size(); ++index) {
        auto item = BarButtonItem::create(m_customButtons[index].title, BarButtonStyle::Bordered);
        std::weak_ptr<AbstractSheetPicker> weak = weak_from_this();
        item->setTarget(weak, [weak, index](BarButtonItem&) {
            if (auto picker = weak.lock())
                picker->actionCustomButton(static_cast<int>(index));
        });
        items.push_back(item);
    }
    auto space = createButton(BarButtonSystemItem::FlexibleSpace, nullptr);
    items.push_back(space);
    if (title) {
        items.push_back(createToolbarLabel(*title));
        items.push_back(space);
    }
    items.push_back(m_doneItem);
    toolbar->setItems(std::move(items));
    return toolbar;
}

std::shared_ptr<BarButtonItem> AbstractSheetPicker::createToolbarLabel(const std::string& title)
{
    auto label = Label::create({ 0, 0, kTitleWidth, kTitleHeight });
    label->setTextAlignment(TextAlignment::Center);
    label->setFont(Font::system(kTitleFontSize, { .bold = true }));
    label->setBackgroundColor(std::nullopt);
    label->setTextColor(Color::black());
    label->setText(title);
    if (label->sizeThatFits({ 0, 0 }).width < kTitleWidth)
        label->sizeToFit();
    return BarButtonItem::createWithCustomView(label);
}

void AbstractSheetPicker::presentPickerForView(const std::shared_ptr<View>& content)
{
    m_presentFromRect = content->frame();
    if (DeviceInfo::current().idiom() == DeviceIdiom::Pad)
        configureAndPresentPopoverForView(content);
    else
        configureAndPresentActionSheetForView(content);
}

void AbstractSheetPicker::configureAndPresentActionSheetForView(const std::shared_ptr<View>& content)
{
    std::weak_ptr<AbstractSheetPicker> weak = weak_from_this();
    m_rotationObserver = NotificationCenter::defaultCenter()->addObserver(
        Application::kWillChangeStatusBarOrientationNotification, nullptr, [weak](const Notification&) {
            if (auto picker = weak.lock())
                picker->didRotate();
        });
    m_actionSheet = PSActionSheet::create(content);
    presentActionSheet(m_actionSheet);
}

void AbstractSheetPicker::presentActionSheet(const std::shared_ptr<PSActionSheet>& sheet)
{
    if (auto item = barButtonItem())
        sheet->showFromBarButtonItem(item, Animated::Yes);
    else
        sheet->showInContainerView();
}

void AbstractSheetPicker::configureAndPresentPopoverForView(const std::shared_ptr<View>& content)
{
    auto controller = ViewController::create();
    controller->setView(content);
    controller->setPreferredContentSize(content->frame().size);
    m_popover = PopoverController::create(controller);
    m_popover->setDelegate(std::static_pointer_cast<PopoverControllerDelegate>(shared_from_this()));
    presentPopover(m_popover);
}

void AbstractSheetPicker::presentPopover(const std::shared_ptr<PopoverController>& popover)
{
    bool presented = false;
    if (auto item = barButtonItem())
        presented = popover->presentFromBarButtonItem(item, PopoverArrowDirection::Any, Animated::Yes);
    else if (auto view = containerView())
        presented = popover->presentFromRect(view->bounds(), view, PopoverArrowDirection::Any, Animated::Yes);
    if (presented)
        return;
    auto window = Application::shared().keyWindow();
    auto root = window ? window->rootViewController() : nullptr;
    if (!root)
        return;
    auto view = root->view();
    Rect centre { view->bounds().width() / 2, view->bounds().height() / 2, 1, 1 };
    (void)popover->presentFromRect(centre, view, PopoverArrowDirection::Any, Animated::Yes);
}

void AbstractSheetPicker::dismissPicker()
{
    auto keep = shared_from_this();
    if (auto sheet = std::move(m_actionSheet))
        sheet->dismissWithClickedButtonIndex(0, Animated::Yes);
    else if (m_popover && m_popover->isPopoverVisible())
        m_popover->dismiss(Animated::Yes);
    m_actionSheet = nullptr;
    m_popover = nullptr;
    m_selfReference = nullptr;
}

void AbstractSheetPicker::actionPickerDone()
{
    auto keep = shared_from_this();
    notifyTargetDidSucceed(storedOrigin());
    dismissPicker();
}

void AbstractSheetPicker::actionPickerCancel()
{
    auto keep = shared_from_this();
    notifyTargetDidCancel(storedOrigin());
    dismissPicker();
}

void AbstractSheetPicker::actionCustomButton(int index)
{
    auto keep = shared_from_this();
    customButtonPressed(index);
}

void AbstractSheetPicker::notifyTargetDidCancel(const SheetPickerOrigin& origin)
{
    if (m_target.responds(m_cancelAction))
        m_cancelAction.function(origin);
}

void AbstractSheetPicker::logInvalidTarget(const std::string& actionName) const
{
    systemLog("Invalid target/action ( " + m_target.className() + " / " + (actionName.empty() ? "(null)" : actionName)
        + " ) combination used for SheetPicker");
}

void AbstractSheetPicker::customButtonPressed(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_customButtons.size())
        return;
    auto picker = std::dynamic_pointer_cast<PickerView>(m_pickerView);
    auto number = numberValue(m_customButtons[static_cast<std::size_t>(index)].value);
    // A value beyond the wheel's rows selects nothing: the wheel keeps its row.
    if (!picker || !number || !(*number >= 0 && *number < picker->numberOfRows(0)))
        return;
    int row = static_cast<int>(*number);
    picker->selectRow(row, 0, Animated::Yes);
    if (auto delegate = dynamic_cast<PickerViewDelegate*>(this))
        delegate->didSelectRow(*picker, row, 0);
}

void AbstractSheetPicker::didRotate()
{
    auto keep = shared_from_this();
    auto orientation = DeviceInfo::current().orientation;
    bool flat = orientation == DeviceOrientation::Unknown || orientation == DeviceOrientation::FaceUp || orientation == DeviceOrientation::FaceDown;
    unsigned bit = 1u << static_cast<unsigned>(orientation);
    auto window = Application::shared().keyWindow();
    if (!flat && (Application::shared().supportedInterfaceOrientations(window.get()) & bit))
        dismissPicker();
}

void AbstractSheetPicker::popoverControllerDidDismissPopover(PopoverController&)
{
    auto keep = shared_from_this();
    notifyTargetDidCancel(storedOrigin());
    m_popover = nullptr;
    m_selfReference = nullptr;
}

} // namespace morvix
