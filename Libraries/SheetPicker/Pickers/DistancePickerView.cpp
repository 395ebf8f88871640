#include "Libraries/SheetPicker/Pickers/DistancePickerView.h"

#include "platform/graphics/Font.h"
#include "platform/ui/Animator.h"

#include <algorithm>

namespace morvix {

using namespace platform;

namespace {

std::string longestKey(int component)
{
    return "longestString_" + std::to_string(component);
}

} // namespace

std::shared_ptr<DistancePickerView> DistancePickerView::create(const Rect& frame)
{
    return std::shared_ptr<DistancePickerView>(new DistancePickerView(frame));
}

void DistancePickerView::addLabel(std::string text, int component, std::optional<std::string> longestString)
{
    m_longest[longestKey(component)] = longestString.value_or(text);
    m_labels[component] = std::move(text);
}

void DistancePickerView::updateLabel(std::string text, int component)
{
    auto found = m_labelViews.find(component);
    m_labels[component] = text;
    if (found == m_labelViews.end())
        return;
    auto label = found->second;
    label->setAlpha(0);
    label->setText(std::move(text));
    Animator::shared().animate(kFadeDuration, [label] { label->setAlpha(1); });
}

std::shared_ptr<Label> DistancePickerView::labelView(int component) const
{
    auto found = m_labelViews.find(component);
    return found == m_labelViews.end() ? nullptr : found->second;
}

double DistancePickerView::componentX(int component) const
{
    double total = 0;
    double before = 0;
    for (int each = 0; each < numberOfComponents(); ++each) {
        if (each < component)
            before += widthForComponent(each);
        total += widthForComponent(each);
    }
    // The columns are centred as a group, as `PickerView` draws them.
    return (bounds().width() - total) / 2 + before;
}

void DistancePickerView::didMoveToWindow()
{
    PickerView::didMoveToWindow();
    if (!window() || !m_labelViews.empty())
        return;
    Font font = Font::system(kLabelFontSize, { .bold = true });
    for (const auto& [component, text] : m_labels) {
        // The widest row text of the wheel, in the rows' font.
        double digits = 0;
        for (int row = 0; row < numberOfRows(component); ++row) {
            auto probe = Label::create();
            probe->setFont(Font::system(kTitleFontSize));
            probe->setText(titleForRow(row, component).value_or(""));
            digits = std::max(digits, probe->sizeThatFits({ 0, 0 }).width);
        }
        auto label = Label::create();
        label->setFont(font);
        label->setText(m_longest[longestKey(component)]);
        Size size = label->sizeThatFits({ 0, 0 });
        label->setText(text);
        label->setBackgroundColor(std::nullopt);
        label->layer().setShadowColor(Color::white());
        label->layer().setShadowOpacity(1);
        label->layer().setShadowOffset({ 0, 1 });
        double width = widthForComponent(component);
        double x = componentX(component) + width / 2 + digits / 2 + 4;
        double y = bounds().height() / 2 - size.height / 2;
        label->setFrame({ x, y, size.width, size.height });
        addSubview(label);
        m_labelViews[component] = label;
    }
}

} // namespace morvix
