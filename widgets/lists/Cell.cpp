#include "widgets/lists/Cell.h"

#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "widgets/foundation/ShowTouchGestureRecognizer.h"
#include "widgets/lists/ImageCell.h"
#include "widgets/lists/TextCell.h"

#include <cmath>
#include <limits>

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;
using platform::Value;

namespace {

const Value* member(const Value& description, const char* key)
{
    if (!description.is_object())
        return nullptr;
    auto found = description.find(key);
    return found == description.end() ? nullptr : &*found;
}

std::optional<double> number(const Value* value)
{
    if (!value || !value->is_number())
        return std::nullopt;
    double result = value->get<double>();
    return std::isfinite(result) ? std::optional<double>(result) : std::nullopt;
}

std::optional<std::string> string(const Value* value)
{
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

std::optional<double> size(const Value* value)
{
    auto result = number(value);
    return result && *result >= 0 ? result : std::nullopt;
}

std::optional<std::size_t> columnIndex(const Value* value)
{
    auto result = number(value);
    if (!result || *result < 0 || *result != std::floor(*result) || *result > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::size_t>(*result);
}

} // namespace

Cell::~Cell() = default;

std::shared_ptr<Cell> Cell::cellFrom(const Value& description, const std::shared_ptr<ClientContext>& client)
{
    auto type = string(member(description, "type"));
    std::shared_ptr<Cell> cell;
    if (type == "text")
        cell = std::make_shared<TextCell>();
    else if (type == "image")
        cell = std::make_shared<ImageCell>(client);
    if (cell)
        cell->apply(description);
    return cell;
}

std::optional<Cell::Attachment> Cell::attachment(const Value* value)
{
    if (!value)
        return std::nullopt;
    if (auto offset = number(value))
        return Attachment { std::nullopt, *offset };
    if (!value->is_array() || value->size() != 2)
        return std::nullopt;
    auto offset = number(&(*value)[1]);
    const Value& percent = (*value)[0];
    if (!offset || !(percent.is_null() || number(&percent)))
        return std::nullopt;
    return Attachment { percent.is_null() ? std::nullopt : number(&percent), *offset };
}

void Cell::apply(const Value& description)
{
    m_name = string(member(description, "name"));
    m_bindingIndex = columnIndex(member(description, "bindingIndex"));
    auto selectable = member(description, "selectable");
    m_selectable = selectable && (selectable->is_boolean() || selectable->is_number()) && platform::boolValue(*selectable);
    auto foreground = member(description, "foreground");
    m_foreground = (foreground ? TypeConverter::toUIColor(*foreground) : std::nullopt).value_or(platform::Color::black());
    auto background = member(description, "background");
    m_background = (background ? TypeConverter::toUIColor(*background) : std::nullopt).value_or(platform::Color::clear());
    auto font = member(description, "font");
    m_font = font ? TypeConverter::toUIFont(*font) : std::nullopt;
    m_left = attachment(member(description, "left"));
    m_right = attachment(member(description, "right"));
    m_top = attachment(member(description, "top"));
    m_bottom = attachment(member(description, "bottom"));
    m_width = size(member(description, "width"));
    m_height = size(member(description, "height"));
    m_horizontalAlignment = string(member(description, "horizontalAlignment")).value_or("");
    m_verticalAlignment = string(member(description, "verticalAlignment")).value_or("");
}

std::shared_ptr<platform::View> Cell::makeContainer() const
{
    auto container = platform::View::create();
    container->setUserInteractionEnabled(m_selectable);
    container->setClipsToBounds(true);
    container->setBackgroundColor(m_background);
    return container;
}

std::shared_ptr<platform::View> Cell::createViewInContainer(const std::shared_ptr<platform::View>& container)
{
    auto view = internalCreateView();
    if (!view)
        return nullptr;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    container->addSubview(view);
    applyLayout(view, container);
    if (m_selectable)
        view->addGestureRecognizer(ShowTouchGestureRecognizer::create());
    return view;
}

void Cell::updateWith(const std::shared_ptr<TreeItem>&, std::size_t, platform::View&)
{
}

void Cell::applyLayout(const std::shared_ptr<platform::View>& view, const std::shared_ptr<platform::View>& container) const
{
    auto constrain = [&](LayoutAttribute attribute, LayoutAttribute containerAttribute, double multiplier, double constant) {
        container->addConstraint(LayoutConstraint::create(view, attribute, LayoutRelation::Equal, container, containerAttribute, multiplier, constant));
    };
    if (m_width)
        container->addConstraint(LayoutConstraint::create(view, LayoutAttribute::Width, LayoutRelation::Equal, nullptr,
            LayoutAttribute::NotAnAttribute, 1, *m_width));
    if (m_height)
        container->addConstraint(LayoutConstraint::create(view, LayoutAttribute::Height, LayoutRelation::Equal, nullptr,
            LayoutAttribute::NotAnAttribute, 1, *m_height));
    // A percentage places the edge on the row's extent from its far edge's coordinate; a bare
    // offset attaches it to the row's same edge.
    if (m_left) {
        if (m_left->percent)
            constrain(LayoutAttribute::Left, LayoutAttribute::Right, *m_left->percent / 100, m_left->offset);
        else
            constrain(LayoutAttribute::Left, LayoutAttribute::Left, 1, m_left->offset);
    }
    if (m_top) {
        if (m_top->percent)
            constrain(LayoutAttribute::Top, LayoutAttribute::Bottom, *m_top->percent / 100, m_top->offset);
        else
            constrain(LayoutAttribute::Top, LayoutAttribute::Top, 1, m_top->offset);
    }
    if (m_right) {
        if (m_right->percent)
            constrain(LayoutAttribute::Right, LayoutAttribute::Right, 1 - *m_right->percent / 100, -m_right->offset);
        else
            constrain(LayoutAttribute::Right, LayoutAttribute::Right, 1, -m_right->offset);
    }
    if (m_bottom) {
        if (m_bottom->percent)
            constrain(LayoutAttribute::Bottom, LayoutAttribute::Bottom, 1 - *m_bottom->percent / 100, -m_bottom->offset);
        else
            constrain(LayoutAttribute::Bottom, LayoutAttribute::Bottom, 1, -m_bottom->offset);
    }
}

} // namespace morvix
