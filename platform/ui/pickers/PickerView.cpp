#include "platform/ui/pickers/PickerView.h"

#include "platform/foundation/Clock.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/rendering/Renderer.h"

#include <algorithm>

namespace morvix::platform {

namespace {

const Color kIndicatorColor = Color::fromRGBA(0.8f, 0.8f, 0.8f);
const Color kUnselectedTextColor = Color::fromRGBA(0.6f, 0.6f, 0.6f);

} // namespace

std::shared_ptr<PickerView> PickerView::create(const Rect& frame)
{
    Rect actual = frame.isEmpty() ? Rect(0, 0, 320, kDefaultHeight) : frame;
    return std::shared_ptr<PickerView>(new PickerView(actual));
}

PickerView::PickerView(const Rect& frame)
    : View(frame)
{
}

void PickerView::setDataSource(std::weak_ptr<PickerViewDataSource> dataSource)
{
    m_dataSource = std::move(dataSource);
    reloadAllComponents();
}

int PickerView::numberOfComponents() const
{
    auto source = m_dataSource.lock();
    return source ? std::max(0, source->numberOfComponents(const_cast<PickerView&>(*this))) : 0;
}

int PickerView::numberOfRows(int component) const
{
    auto source = m_dataSource.lock();
    if (!source || component < 0 || component >= numberOfComponents())
        return 0;
    return std::max(0, source->numberOfRows(const_cast<PickerView&>(*this), component));
}

bool PickerView::isValid(int row, int component) const
{
    return component >= 0 && component < numberOfComponents() && row >= 0 && row < numberOfRows(component);
}

void PickerView::selectRow(int row, int component, Animated)
{
    if (!isValid(row, component))
        return;
    if (m_selected.size() <= static_cast<std::size_t>(component))
        m_selected.resize(static_cast<std::size_t>(component) + 1, 0);
    m_selected[static_cast<std::size_t>(component)] = row;
    setNeedsDisplay();
}

int PickerView::selectedRow(int component) const
{
    int rows = numberOfRows(component);
    if (rows == 0)
        return -1;
    int row = static_cast<std::size_t>(component) < m_selected.size() ? m_selected[static_cast<std::size_t>(component)] : 0;
    return std::clamp(row, 0, rows - 1);
}

void PickerView::reloadAllComponents()
{
    int components = numberOfComponents();
    m_selected.resize(static_cast<std::size_t>(components), 0);
    for (int component = 0; component < components; ++component)
        reloadComponent(component);
}

void PickerView::reloadComponent(int component)
{
    if (component < 0 || static_cast<std::size_t>(component) >= m_selected.size())
        return;
    m_selected[static_cast<std::size_t>(component)] = std::max(0, selectedRow(component));
    setNeedsDisplay();
}

double PickerView::widthForComponent(int component) const
{
    if (auto delegate = m_delegate.lock()) {
        if (auto width = delegate->widthForComponent(const_cast<PickerView&>(*this), component))
            return *width;
    }
    int components = numberOfComponents();
    return components > 0 ? bounds().width() / components : 0;
}

double PickerView::rowHeight(int component) const
{
    if (auto delegate = m_delegate.lock()) {
        if (auto height = delegate->rowHeightForComponent(const_cast<PickerView&>(*this), component))
            return *height;
    }
    return kDefaultRowHeight;
}

std::shared_ptr<View> PickerView::viewForRow(int row, int component) const
{
    auto delegate = m_delegate.lock();
    if (!delegate || !isValid(row, component))
        return nullptr;
    return delegate->viewForRow(const_cast<PickerView&>(*this), row, component, nullptr);
}

std::optional<std::string> PickerView::titleForRow(int row, int component) const
{
    auto delegate = m_delegate.lock();
    if (!delegate || !isValid(row, component))
        return std::nullopt;
    return delegate->titleForRow(const_cast<PickerView&>(*this), row, component);
}

void PickerView::turnTo(int row, int component)
{
    if (!isUserInteractionEnabled() || !isValid(row, component))
        return;
    auto keep = self();
    selectRow(row, component, Animated::Yes);
    if (auto delegate = m_delegate.lock())
        delegate->didSelectRow(*this, row, component);
}

void PickerView::draw(GraphicsContext& context, const Rect&)
{
    int components = numberOfComponents();
    double total = 0;
    for (int component = 0; component < components; ++component)
        total += widthForComponent(component);
    // The columns are centred as a group, as the wheels sit in the middle of the picker.
    double x = (bounds().width() - total) / 2;
    if (m_showsSelectionIndicator) {
        double height = rowHeight(0);
        context.setFillColor(kIndicatorColor);
        double middle = bounds().height() / 2;
        context.fillRect({ 0, middle - height / 2 - 0.5, bounds().width(), 0.5 });
        context.fillRect({ 0, middle + height / 2, bounds().width(), 0.5 });
    }
    for (int component = 0; component < components; ++component) {
        double width = widthForComponent(component);
        drawComponent(context, component, x, width);
        x += width;
    }
}

void PickerView::drawComponent(GraphicsContext& context, int component, double x, double width)
{
    int selected = selectedRow(component);
    if (selected < 0)
        return;
    double height = rowHeight(component);
    double middle = bounds().height() / 2;
    int reach = static_cast<int>(middle / height) + 1;
    for (int row = std::max(0, selected - reach); row <= std::min(numberOfRows(component) - 1, selected + reach); ++row) {
        Rect cell { x, middle - height / 2 + (row - selected) * height, width, height };
        if (auto view = viewForRow(row, component)) {
            view->setFrame(cell);
            Renderer::drawView(*view, context, Clock::current()->now());
            continue;
        }
        auto title = titleForRow(row, component);
        if (!title)
            continue;
        TextAttributes attributes;
        attributes.font = Font::system(kTitleFontSize);
        attributes.foregroundColor = row == selected ? Color::black() : kUnselectedTextColor;
        AttributedString text(*title, attributes);
        TextLayout::Options options;
        options.wrapWidth = width;
        options.lineLimit = 1;
        options.alignment = TextAlignment::Center;
        options.truncation = TextTruncation::Tail;
        double textHeight = TextLayout(text, options).size().height;
        context.drawText(text, options, { cell.x(), cell.y() + (height - textHeight) / 2 });
    }
}

} // namespace morvix::platform
