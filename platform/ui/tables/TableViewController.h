#pragma once
// A controller whose view is a table view, serving as the table's data source and delegate.

#include "platform/ui/ViewController.h"
#include "platform/ui/tables/TableView.h"

#include <memory>

namespace morvix::platform {

class RefreshControl;

/// A view controller whose view is a `TableView` over the screen, with the controller as the
/// table's data source and delegate; subclasses answer the data source's and the delegate's
/// calls (by default there are no rows). When `clearsSelectionOnViewWillAppear` is on (the
/// default), the selected row is deselected each time the view is about to appear. Main thread
/// only.
class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    static std::shared_ptr<TableViewController> create();
    ~TableViewController() override;
    const char* className() const override { return "TableViewController"; }

    /// The view as a table, loaded on first use.
    std::shared_ptr<TableView> tableView();
    bool clearsSelectionOnViewWillAppear() const { return m_clearsSelection; }
    void setClearsSelectionOnViewWillAppear(bool clears) { m_clearsSelection = clears; }

    /// The pull-to-refresh control shown above the first row; null removes it.
    const std::shared_ptr<RefreshControl>& refreshControl() const { return m_refreshControl; }
    void setRefreshControl(std::shared_ptr<RefreshControl> control);

    void loadView() override;
    void viewWillAppear(bool animated) override;

    // TableViewDataSource
    int numberOfRows(TableView& tableView, int section) override;
    std::shared_ptr<TableViewCell> cellForRow(TableView& tableView, IndexPath indexPath) override;

protected:
    TableViewController();

private:
    std::shared_ptr<RefreshControl> m_refreshControl;
    bool m_clearsSelection = true;
};

} // namespace morvix::platform
