#include "shell/DeveloperConsole.h"

#include "core/base/LogEntry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/controls/SegmentedControl.h"
#include "platform/ui/screens/ShareSheet.h"
#include "shell/LogHUD.h"
#include "shell/LogView.h"

namespace morvix {

using platform::BarButtonItem;
using platform::Color;

std::shared_ptr<DeveloperConsole> DeveloperConsole::create(std::weak_ptr<MorvixClient> client)
{
    std::shared_ptr<DeveloperConsole> console(new DeveloperConsole);
    console->m_client = client;
    console->m_logHUD = LogHUD::create(client.lock());
    console->m_logView = LogView::create();
    return console;
}

DeveloperConsole::~DeveloperConsole()
{
    // The flash lives on the session's root view, which outlives the console.
    if (m_logHUD)
        m_logHUD->removeFromSuperview();
}

void DeveloperConsole::log(const LogEntry& entry)
{
    if (entry.type() == LogEntry::Type::Error)
        m_logHUD->log(entry);
    m_logView->log(entry);
}

void DeveloperConsole::clear()
{
    m_logView->clear();
    selectViewFilter();
}

void DeveloperConsole::selectViewFilter()
{
    if (m_filterBar)
        m_filterBar->setSelectedSegmentIndex(static_cast<int>(m_logView->filter()));
}

void DeveloperConsole::didReceiveMemoryWarning()
{
    ViewController::didReceiveMemoryWarning();
    m_logView->didReceiveMemoryWarning();
    // The log view shows everything again; so does the bar.
    selectViewFilter();
}

bool DeveloperConsole::prefersStatusBarHidden() const
{
    auto client = m_client.lock();
    return client && client->statusBarHidden();
}

// MARK: The view

void DeveloperConsole::viewDidLoad()
{
    ViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(Color::fromRGBA(2 / 3.0f, 2 / 3.0f, 2 / 3.0f));
    createTitlebar();
    createFilterBar();
    root->addSubview(m_logView);
    createToolbar();
    viewDidLayoutSubviews();
}

void DeveloperConsole::createTitlebar()
{
    m_titleBar = platform::NavigationBar::create();
    auto item = platform::NavigationItem::create("Console");
    std::weak_ptr<DeveloperConsole> weak = consoleSelf();
    if (WidgetRegistry::instance().getHandler(kAppManagerType)) {
        auto home = BarButtonItem::createWithImage(m_homeImage.image(), platform::BarButtonStyle::Plain);
        home->setTarget(weak, [weak](BarButtonItem&) {
            if (auto self = weak.lock())
                self->homeRequested();
        });
        item->setLeftBarButtonItem(home);
    }
    auto reload = BarButtonItem::createSystem(platform::BarButtonSystemItem::Refresh);
    reload->setTarget(weak, [weak](BarButtonItem&) {
        if (auto self = weak.lock())
            self->reloadRequested();
    });
    item->setRightBarButtonItem(reload);
    m_titleBar->setItems({ item });
    view()->addSubview(m_titleBar);
}

void DeveloperConsole::createFilterBar()
{
    m_filterBar = platform::SegmentedControl::create();
    int index = 0;
    for (const char* title : { "All", "Log", "Info", "Warning", "Error", "Debug" })
        m_filterBar->insertSegmentWithTitle(title, index++);
    m_filterBar->setApportionsSegmentWidthsByContent(true);
    m_filterBar->setSelectedSegmentIndex(0);
    m_filterBar->setBackgroundColor(Color::white());
    std::weak_ptr<DeveloperConsole> weak = consoleSelf();
    m_filterBar->addAction(
        [weak](auto&&...) {
            if (auto self = weak.lock())
                self->filterChanged();
        },
        platform::ControlEventValueChanged);
    view()->addSubview(m_filterBar);
}

void DeveloperConsole::createToolbar()
{
    m_toolbar = platform::Toolbar::create();
    std::weak_ptr<DeveloperConsole> weak = consoleSelf();
    auto share = BarButtonItem::createSystem(platform::BarButtonSystemItem::Action);
    share->setTarget(weak, [weak](BarButtonItem& pressed) {
        if (auto self = weak.lock())
            self->openShare(pressed);
    });
    auto trash = BarButtonItem::createSystem(platform::BarButtonSystemItem::Trash);
    trash->setTarget(weak, [weak](BarButtonItem&) {
        if (auto self = weak.lock())
            self->clear();
    });
    m_toolbar->setItems({ share, BarButtonItem::createSystem(platform::BarButtonSystemItem::FlexibleSpace), trash });
    view()->addSubview(m_toolbar);
}

void DeveloperConsole::viewDidLayoutSubviews()
{
    ViewController::viewDidLayoutSubviews();
    if (!m_titleBar)
        return;
    // The constraints of the console's screen, as frames: the bars across the top, the toolbar
    // along the bottom, the log between them.
    platform::Rect box = view()->bounds();
    double width = box.width();
    m_titleBar->setFrame({ 0, 0, width, platform::NavigationBar::kHeight });
    double filterHeight = m_filterBar->intrinsicContentSize().height;
    m_filterBar->setFrame({ 0, m_titleBar->frame().maxY(), width, filterHeight });
    double toolbarTop = std::max(box.height() - kToolbarHeight, 0.0);
    m_toolbar->setFrame({ 0, toolbarTop, width, kToolbarHeight });
    double logTop = m_filterBar->frame().maxY() + kLogViewGap;
    m_logView->setFrame({ 0, logTop, width, std::max(toolbarTop - logTop, 0.0) });
}

// MARK: Actions

void DeveloperConsole::filterChanged()
{
    int selected = m_filterBar ? m_filterBar->selectedSegmentIndex() : 0;
    m_logView->setFilter(static_cast<unsigned>(std::max(selected, 0)));
}

void DeveloperConsole::reloadRequested()
{
    auto client = m_client.lock();
    if (!client)
        return;
    client->closeDrawer();
    client->load();
}

void DeveloperConsole::homeRequested()
{
    auto client = m_client.lock();
    if (!client)
        return;
    client->closeDrawer();
    client->commandOperator()->processOperation(platform::Value::array({ "call", kAppManagerType, "home" }));
}

void DeveloperConsole::openShare(BarButtonItem& item)
{
    auto sheet = platform::ShareSheet::create({ m_logView->attributedText() });
    if (platform::DeviceInfo::current().idiom() == platform::DeviceIdiom::Pad)
        sheet->setAnchor(item.weak_from_this());
    presentViewController(sheet, platform::Animated::Yes);
}

} // namespace morvix
