#include "shell/SearchViewController.h"

#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/controls/Label.h"
#include "shell/SearchDelegate.h"
#include "widgets/foundation/Display.h"

namespace morvix {

using platform::IndexPath;

namespace {

constexpr unsigned kAllEdges = 15;

} // namespace

std::shared_ptr<SearchViewController> SearchViewController::create(std::weak_ptr<SearchDelegate> delegate)
{
    auto controller = std::shared_ptr<SearchViewController>(new SearchViewController());
    controller->m_delegate = std::move(delegate);
    controller->setModalPresentationStyle(platform::ModalPresentationStyle::FormSheet);
    controller->setEdgesForExtendedLayout(kAllEdges);
    controller->setAutomaticallyAdjustsScrollViewInsets(true);
    auto table = controller->tableView();
    auto insets = table->contentInset();
    insets.top = Display::statusBarHeight();
    table->setContentInset(insets);
    return controller;
}

SearchViewController::~SearchViewController() = default;

void SearchViewController::viewDidLoad()
{
    TableViewController::viewDidLoad();
    m_searchBar = createSearchbar();
}

std::shared_ptr<platform::SearchBar> SearchViewController::createSearchbar()
{
    auto bar = platform::SearchBar::create();
    bar->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleBottomMargin);
    bar->setShowsScopeBar(false);
    bar->setScopeButtonTitles({});
    bar->setShowsCancelButton(true);
    bar->setText(m_query);
    bar->setPlaceholder(m_placeholder);
    bar->setDelegate(std::static_pointer_cast<SearchViewController>(self()));
    return bar;
}

void SearchViewController::viewWillAppear(bool animated)
{
    TableViewController::viewWillAppear(animated);
    auto table = tableView();
    m_searchBar->setFrame({ 0, 0, table->bounds().width(), 0 });
    m_searchBar->sizeToFit();
    table->setBackgroundView(nullptr);
    table->setBackgroundColor(platform::Color::white());
    auto footer = platform::View::create();
    footer->setBackgroundColor(platform::Color::clear());
    table->setTableFooterView(footer);
    table->setTableHeaderView(m_searchBar);
    takeKeyboard();
}

void SearchViewController::takeKeyboard()
{
    if (m_searchBar->becomeFirstResponder())
        return;
    // The screen's view joins the window only after it has been told it will appear; the bar
    // takes the keyboard as soon as it is there.
    std::weak_ptr<SearchViewController> weak = std::static_pointer_cast<SearchViewController>(self());
    platform::MainLoop::main().post([weak] {
        if (auto self = weak.lock(); self && !self->isBeingDismissed() && self->presentingViewController())
            self->m_searchBar->becomeFirstResponder();
    });
}

void SearchViewController::viewDidAppear(bool animated)
{
    TableViewController::viewDidAppear(animated);
    update();
}

bool SearchViewController::prefersStatusBarHidden() const
{
    return platform::Application::shared().statusBarFrame().size == platform::Size {};
}

platform::BarPosition SearchViewController::positionForBar(platform::SearchBar&)
{
    return platform::BarPosition::TopAttached;
}

// MARK: State

void SearchViewController::setProposals(std::vector<std::string> proposals)
{
    m_proposals = std::move(proposals);
    update();
}

void SearchViewController::setPlaceholder(std::string placeholder)
{
    m_placeholder = std::move(placeholder);
    if (m_searchBar)
        m_searchBar->setPlaceholder(m_placeholder);
}

void SearchViewController::setQuery(std::string query)
{
    m_query = std::move(query);
    if (m_searchBar)
        m_searchBar->setText(m_query);
}

std::string SearchViewController::proposalAt(long row) const
{
    if (row < 0 || row >= static_cast<long>(m_proposals.size()))
        return {};
    return m_proposals[row];
}

void SearchViewController::update()
{
    tableView()->reloadData();
    updateTableFooterView();
}

void SearchViewController::updateTableFooterView()
{
    auto table = tableView();
    auto frame = table->frame();
    frame.size.height = m_proposals.empty() ? 0 : frame.size.height / 2;
    auto footer = table->tableFooterView() ? table->tableFooterView() : platform::View::create();
    footer->setFrame(frame);
    table->setTableFooterView(footer);
    bool pad = platform::DeviceInfo::current().idiom() == platform::DeviceIdiom::Pad;
    table->setContentOffset({ 0, pad ? 0 : -Display::statusBarHeight() }, platform::Animated::Yes);
}

// MARK: Table

int SearchViewController::numberOfSections(platform::TableView&)
{
    return m_proposals.empty() ? 0 : 1;
}

int SearchViewController::numberOfRows(platform::TableView&, int)
{
    return static_cast<int>(m_proposals.size());
}

std::shared_ptr<platform::TableViewCell> SearchViewController::cellForRow(platform::TableView& table, IndexPath indexPath)
{
    auto cell = table.dequeueReusableCell(kCellIdentifier);
    if (!cell) {
        cell = platform::TableViewCell::create(platform::TableViewCellStyle::Default, kCellIdentifier);
        cell->setBackgroundColor(platform::Color::white());
        cell->setAccessoryType(platform::TableViewCellAccessory::DetailDisclosureButton);
    }
    cell->textLabel()->setText(proposalAt(indexPath.item));
    return cell;
}

void SearchViewController::didSelectRow(platform::TableView&, IndexPath indexPath)
{
    // The delegate may close the screen and drop it; keep it for the rest of the call.
    auto keep = self();
    if (auto delegate = m_delegate.lock())
        delegate->searchFor(proposalAt(indexPath.item));
    m_searchBar->resignFirstResponder();
}

void SearchViewController::accessoryButtonTapped(platform::TableView&, IndexPath indexPath)
{
    auto keep = self();
    std::string proposal = proposalAt(indexPath.item);
    m_searchBar->setText(proposal);
    m_query = proposal;
    if (auto delegate = m_delegate.lock())
        delegate->searchModified(proposal);
}

// MARK: Search bar

void SearchViewController::searchBarTextDidChange(platform::SearchBar&, const std::string& text)
{
    auto keep = self();
    if (auto delegate = m_delegate.lock())
        delegate->searchModified(text);
}

void SearchViewController::searchBarSearchButtonClicked(platform::SearchBar& bar)
{
    auto keep = self();
    m_query = bar.text();
    if (auto delegate = m_delegate.lock())
        delegate->searchFor(m_query);
    bar.resignFirstResponder();
}

void SearchViewController::searchBarCancelButtonClicked(platform::SearchBar& bar)
{
    bar.resignFirstResponder();
}

void SearchViewController::searchBarTextDidEndEditing(platform::SearchBar&)
{
    auto keep = self();
    if (auto delegate = m_delegate.lock())
        delegate->searchClosed();
}

} // namespace morvix
