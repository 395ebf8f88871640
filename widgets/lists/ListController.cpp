#include "widgets/lists/ListController.h"

#include "platform/ui/controls/Label.h"
#include "platform/ui/gestures/LongPressGestureRecognizer.h"
#include "widgets/lists/List.h"
#include "widgets/text/AttributedStrings.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

using platform::IndexPath;

std::shared_ptr<ListController> ListController::create()
{
    return std::shared_ptr<ListController>(new ListController());
}

ListController::~ListController() = default;

void ListController::scrollUp()
{
    auto table = tableView();
    if (auto path = table->indexPathForRowAt({ 0, 0 }))
        table->scrollToRow(*path, platform::TableViewScrollPosition::Top, platform::Animated::Yes);
}

void ListController::viewDidLayoutSubviews()
{
    TableViewController::viewDidLayoutSubviews();
    auto size = view()->frame().size;
    if (size == m_oldSize)
        return;
    m_oldSize = size;
    if (auto list = m_list.lock())
        list->sizeChanged(view()->bounds().size);
}

int ListController::numberOfRows(platform::TableView&, int)
{
    auto list = m_list.lock();
    return list ? static_cast<int>(list->itemCount()) : 0;
}

std::shared_ptr<platform::TableViewCell> ListController::cellForRow(platform::TableView& table, IndexPath indexPath)
{
    auto cell = table.dequeueReusableCell(kCellIdentifier);
    if (!cell)
        cell = platform::TableViewCell::create(platform::TableViewCellStyle::Default, kCellIdentifier);
    if (auto list = m_list.lock())
        configure(*cell, *list, indexPath.item);
    return cell;
}

void ListController::configure(platform::TableViewCell& cell, const List& list, long row)
{
    auto recognizers = cell.gestureRecognizers();
    for (const auto& recognizer : recognizers)
        cell.removeGestureRecognizer(recognizer);
    if (list.wantsLongPress()) {
        std::weak_ptr<ListController> weak = std::static_pointer_cast<ListController>(self());
        auto press = platform::LongPressGestureRecognizer::create([weak](platform::GestureRecognizer& recognizer) {
            if (auto self = weak.lock())
                self->longPressDetected(recognizer);
        });
        press->setMinimumPressDuration(kLongPressDuration);
        press->setCancelsTouchesInView(false);
        cell.addGestureRecognizer(press);
    }
    cell.setAccessoryType(list.showsDetailButtons() ? platform::TableViewCellAccessory::DetailDisclosureButton
                                                    : platform::TableViewCellAccessory::None);
    auto label = cell.textLabel();
    std::string text = list.itemAt(row);
    if (list.markupEnabled()) {
        label->setTextColor(FontHelper::labelColor());
        label->setFont(list.listFont());
        label->setText(std::string());
        auto attributed = AttributedStrings::attributedStringFromMarkupString(text, list.listFont(), list.listForeground());
        label->setAttributedText(attributed.value_or(platform::AttributedString("")));
        return;
    }
    label->setTextColor(list.listForeground());
    label->setFont(list.listFont());
    label->setText(std::move(text));
}

void ListController::didSelectRow(platform::TableView&, IndexPath indexPath)
{
    if (auto list = m_list.lock())
        list->rowTapped(indexPath.item);
}

void ListController::accessoryButtonTapped(platform::TableView&, IndexPath indexPath)
{
    if (auto list = m_list.lock())
        list->accessoryTapped(indexPath.item);
}

void ListController::longPressDetected(platform::GestureRecognizer& recognizer)
{
    auto list = m_list.lock();
    auto cell = std::dynamic_pointer_cast<platform::TableViewCell>(recognizer.view());
    if (!list || !cell)
        return;
    // The cell may have been reused for another row since the recogniser was added.
    auto path = tableView()->indexPathForCell(*cell);
    if (!path)
        return;
    bool began = recognizer.state() == platform::GestureState::Began;
    auto display = list->displayView();
    list->rowLongPressed(path->item, began, began ? recognizer.locationOfTouch(0, display.get()) : platform::Point {});
}

} // namespace morvix
