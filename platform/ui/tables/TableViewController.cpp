#include "platform/ui/tables/TableViewController.h"

#include "platform/ui/Screen.h"
#include "platform/ui/controls/RefreshControl.h"

namespace morvix::platform {

std::shared_ptr<TableViewController> TableViewController::create()
{
    return std::shared_ptr<TableViewController>(new TableViewController());
}

TableViewController::TableViewController() = default;

TableViewController::~TableViewController() = default;

std::shared_ptr<TableView> TableViewController::tableView()
{
    return std::static_pointer_cast<TableView>(view());
}

void TableViewController::loadView()
{
    auto table = TableView::create(Screen::main().bounds());
    table->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    auto self = std::static_pointer_cast<TableViewController>(ViewController::self());
    table->setDataSource(std::weak_ptr<TableViewDataSource>(self));
    table->setDelegate(std::weak_ptr<TableViewDelegate>(self));
    setView(table);
}

void TableViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    if (!m_clearsSelection || !isViewLoaded())
        return;
    auto table = tableView();
    if (auto selected = table->indexPathForSelectedRow())
        table->deselectRow(*selected, animated ? Animated::Yes : Animated::No);
}

void TableViewController::setRefreshControl(std::shared_ptr<RefreshControl> control)
{
    if (m_refreshControl)
        m_refreshControl->removeFromSuperview();
    m_refreshControl = std::move(control);
    if (!m_refreshControl)
        return;
    auto table = tableView();
    table->addSubview(m_refreshControl);
    table->setAlwaysBounceVertical(true);
    m_refreshControl->setFrame({ 0, -RefreshControl::kHeight, table->bounds().width(), RefreshControl::kHeight });
}

int TableViewController::numberOfRows(TableView&, int)
{
    return 0;
}

std::shared_ptr<TableViewCell> TableViewController::cellForRow(TableView&, IndexPath)
{
    return nullptr;
}

} // namespace morvix::platform
