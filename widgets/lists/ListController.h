#pragma once
// The table controller that shows a list's strings.

#include "platform/ui/tables/TableViewController.h"

#include <memory>

namespace morvix {

class List;

namespace platform {
class GestureRecognizer;
}

/// Shows the rows of a `List` in a one-section plain table and turns taps, accessory taps and
/// long presses into the list's events. Owned by the list (and its navigation controller); holds
/// the list weakly.
///
/// Cells are default-style cells reused under `kCellIdentifier`. Each time a cell is handed out,
/// its recognisers are removed and, while the list wants long presses, one long-press recogniser
/// is added; the press finds its row from the cell it is attached to when it fires, so a reused
/// cell reports the row it shows now. Main thread only.
class ListController final : public platform::TableViewController {
public:
    static constexpr const char* kCellIdentifier = "listCell";
    static constexpr double kLongPressDuration = 0.5;

    static std::shared_ptr<ListController> create();
    ~ListController() override;
    const char* className() const override { return "ListController"; }

    std::shared_ptr<List> list() const { return m_list.lock(); }
    void setList(std::weak_ptr<List> list) { m_list = std::move(list); }
    double rowHeight() { return tableView()->rowHeight(); }
    void setRowHeight(double height) { tableView()->setRowHeight(height); }
    /// Scrolls the row at the content's top left to the top, animated; nothing without rows.
    void scrollUp();

    // ViewController
    /// Tells the list of a new size (`sizeChanged` with the bounds' size) when the frame's size
    /// differs from the last pass's.
    void viewDidLayoutSubviews() override;
    bool shouldAutorotate() const override { return true; }

    // TableViewDataSource and delegate
    int numberOfRows(platform::TableView& tableView, int section) override;
    /// No: every row is the list's item height.
    bool sizesRows(platform::TableView&) override { return false; }
    std::shared_ptr<platform::TableViewCell> cellForRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void didSelectRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void accessoryButtonTapped(platform::TableView& tableView, platform::IndexPath indexPath) override;

private:
    ListController() = default;

    void configure(platform::TableViewCell& cell, const List& list, long row);
    void longPressDetected(platform::GestureRecognizer& recognizer);

    std::weak_ptr<List> m_list;
    platform::Size m_oldSize;
};

} // namespace morvix
