#pragma once
// The search screen: a search bar over a list of proposals.

#include "platform/ui/controls/SearchBar.h"
#include "platform/ui/tables/TableViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix {

class SearchDelegate;

/// A table controller whose header is a search bar and whose rows are the proposals its owner
/// supplies (one section while there are any, none otherwise). Presented modally as a form
/// sheet (recorded; the headless presentation covers the window). The search bar becomes the
/// first responder as the screen appears, so typing goes to it.
///
/// What the user does goes to the delegate, the text handed on unchanged:
///  - typing: `searchModified` with the bar's text;
///  - a tap on a proposal: `searchFor` with the proposal, then the bar resigns;
///  - a tap on a proposal's detail button: the bar's text and `query` become the proposal,
///    then `searchModified` (the screen stays open);
///  - the keyboard's search key: `query` = the bar's text, `searchFor` with it, then the bar
///    resigns;
///  - Cancel: the bar resigns;
///  - the bar's end of editing, after any of these: `searchClosed`.
///
/// Owned by whoever presents it; holds the delegate weakly. Main thread only.
class SearchViewController final : public platform::TableViewController, public platform::SearchBarDelegate {
public:
    static constexpr const char* kCellIdentifier = "ProposalCell";

    static std::shared_ptr<SearchViewController> create(std::weak_ptr<SearchDelegate> delegate);
    ~SearchViewController() override;
    const char* className() const override { return "SearchViewController"; }

    std::shared_ptr<SearchDelegate> delegate() const { return m_delegate.lock(); }
    const std::vector<std::string>& proposals() const { return m_proposals; }
    /// Stores the list and runs `update`.
    void setProposals(std::vector<std::string> proposals);
    const std::string& placeholder() const { return m_placeholder; }
    void setPlaceholder(std::string placeholder);
    const std::string& query() const { return m_query; }
    /// Stores the text; the bar shows it (telling nobody).
    void setQuery(std::string query);
    /// Made when the view loads.
    const std::shared_ptr<platform::SearchBar>& searchBar() const { return m_searchBar; }
    /// The proposal at the row; empty past the list.
    std::string proposalAt(long row) const;

    /// Reloads the table, sizes the footer (half the table's height with proposals, none
    /// without) and scrolls to the top, animated: (0, 0) on a pad, (0, −status-bar height)
    /// elsewhere.
    void update();

    // ViewController
    void viewDidLoad() override;
    /// The bar sizes itself and takes the keyboard; the bar becomes the table's header.
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    /// Yes exactly when the status bar has no size.
    bool prefersStatusBarHidden() const override;

    // TableViewDataSource and delegate
    int numberOfSections(platform::TableView& tableView) override;
    int numberOfRows(platform::TableView& tableView, int section) override;
    std::shared_ptr<platform::TableViewCell> cellForRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void didSelectRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void accessoryButtonTapped(platform::TableView& tableView, platform::IndexPath indexPath) override;

    // SearchBarDelegate
    void searchBarTextDidChange(platform::SearchBar& bar, const std::string& text) override;
    void searchBarSearchButtonClicked(platform::SearchBar& bar) override;
    void searchBarCancelButtonClicked(platform::SearchBar& bar) override;
    void searchBarTextDidEndEditing(platform::SearchBar& bar) override;
    platform::BarPosition positionForBar(platform::SearchBar& bar) override;

private:
    SearchViewController() = default;

    std::shared_ptr<platform::SearchBar> createSearchbar();
    void updateTableFooterView();
    void takeKeyboard();

    std::weak_ptr<SearchDelegate> m_delegate;
    std::vector<std::string> m_proposals;
    std::string m_placeholder;
    std::string m_query;
    std::shared_ptr<platform::SearchBar> m_searchBar;
};

} // namespace morvix
