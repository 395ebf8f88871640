#include "shell/TopLevelViewController.h"

#include "core/session/ApplicationFrameClient.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/tables/TableViewCell.h"
#include "shell/Page.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>

namespace morvix {

using platform::Color;
using platform::IndexPath;
using platform::TableView;
using platform::TableViewCell;

std::shared_ptr<TopLevelViewController> TopLevelViewController::create(std::weak_ptr<ApplicationFrameClient> client)
{
    std::shared_ptr<TopLevelViewController> controller(new TopLevelViewController);
    controller->m_client = std::move(client);
    return controller;
}

void TopLevelViewController::loadView()
{
    TableViewController::loadView();
    auto table = tableView();
    table->setBackgroundColor(FontHelper::backgroundColor());
    // An empty footer: no separators below the last row.
    auto footer = platform::View::create({});
    footer->setBackgroundColor(Color::clear());
    table->setTableFooterView(footer);
    table->setBounces(true);
    table->setContentInset({ 0, 0, 20, 0 });
}

void TopLevelViewController::reset()
{
    m_pages.clear();
    tableView()->reloadData();
}

void TopLevelViewController::addPage(const std::shared_ptr<Page>& page)
{
    if (page && std::find(m_pages.begin(), m_pages.end(), page) == m_pages.end())
        m_pages.push_back(page);
    tableView()->reloadData();
}

void TopLevelViewController::removePage(const Page& page)
{
    std::erase_if(m_pages, [&](const auto& listed) { return listed.get() == &page; });
    tableView()->reloadData();
}

bool TopLevelViewController::prefersStatusBarHidden() const
{
    auto client = m_client.lock();
    return client && client->statusBarHidden();
}

// MARK: The table

int TopLevelViewController::numberOfSections(TableView&)
{
    return 1;
}

std::optional<std::string> TopLevelViewController::titleForHeader(TableView&, int)
{
    auto name = platform::BundleInfo::main().objectForInfoDictionaryKey("CFBundleName");
    if (!name || !name->is_string())
        return std::nullopt;
    return name->get<std::string>();
}

int TopLevelViewController::numberOfRows(TableView&, int)
{
    return static_cast<int>(m_pages.size());
}

std::optional<double> TopLevelViewController::heightForRow(TableView&, IndexPath)
{
    return kRowHeight;
}

std::shared_ptr<TableViewCell> TopLevelViewController::cellForRow(TableView& tableView, IndexPath indexPath)
{
    auto cell = tableView.dequeueReusableCell(kCellIdentifier);
    if (!cell)
        cell = TableViewCell::create(platform::TableViewCellStyle::Default, kCellIdentifier);
    configureCell(*cell, indexPath.item);
    return cell;
}

void TopLevelViewController::configureCell(TableViewCell& cell, int row)
{
    if (row < 0 || row >= static_cast<int>(m_pages.size()))
        return;
    const auto& page = m_pages[row];
    Color text = FontHelper::activeTextColor();
    cell.textLabel()->setText(page->title());
    cell.textLabel()->setTextColor(text);
    cell.contentView()->setBackgroundColor(FontHelper::backgroundColor());
    cell.textLabel()->setBackgroundColor(FontHelper::backgroundColor());
    const auto& icon = page->loadedImage();
    if (!icon) {
        cell.imageView()->setImage(nullptr);
        return;
    }
    cell.imageView()->setContentMode(platform::ContentMode::ScaleAspectFit);
    cell.imageView()->setClipsToBounds(true);
    cell.imageView()->setImage(imageWithColor(*icon, text));
}

void TopLevelViewController::didSelectRow(TableView& tableView, IndexPath indexPath)
{
    tableView.deselectRow(indexPath, platform::Animated::Yes);
    if (indexPath.item < 0 || indexPath.item >= static_cast<int>(m_pages.size()))
        return;
    // The frame's answer may change the list; keep the page while it runs.
    auto page = m_pages[indexPath.item];
    if (auto frame = m_morvixUI.lock())
        frame->pageSelected(*page);
    if (auto client = m_client.lock())
        client->closeDrawer();
}

std::shared_ptr<platform::Image> TopLevelViewController::imageWithColor(const platform::Image& image, Color color)
{
    platform::ImageContext picture(image.size(), platform::Opaque::No, image.scale());
    auto& context = picture.context();
    platform::Rect area { 0, 0, image.size().width, image.size().height };
    context.drawImage(image, area);
    context.setBlendMode(platform::BlendMode::SourceIn);
    context.setFillColor(color);
    context.fillRect(area);
    return picture.image();
}

} // namespace morvix
