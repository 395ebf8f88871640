#pragma once
// One parsed attachment of relative layout data.

#include "platform/foundation/Value.h"
#include "platform/ui/LayoutConstraint.h"

#include <memory>
#include <optional>

namespace morvix {

class ClientContext;

namespace platform {
class View;
}

/// One value of relative layout data, parsed, with the constraint it makes for one attribute of
/// the view. The value is:
///  - a number: the offset;
///  - a string: the id of a widget whose view is the reference;
///  - an array: element 0 is a percentage when it is a number whose integer part is not 0, or a
///    reference id when it is a string; element 1, when a number, is the offset;
///  - anything else (null included): offset 0, nothing else.
/// The reference is resolved when the attributes are made: a registered `Widget`'s view; an
/// unknown id, or one naming something other than a widget, gives no reference. Offsets and
/// percentages are single-precision values, as the layout computes with them, saturated at the
/// float range (`platform::WireNumber::singlePrecision`). Main thread only.
class LayoutAttributes final {
public:
    LayoutAttributes(const platform::Value& value, std::shared_ptr<platform::View> view, std::weak_ptr<ClientContext> client);

    const std::shared_ptr<platform::View>& view() const { return m_view; }
    float offset() const { return m_offset; }
    /// The reference view; null without one.
    const std::shared_ptr<platform::View>& reference() const { return m_reference; }
    std::optional<float> percentage() const { return m_percentage; }

    /// The constraint this value makes for `attribute` of the view (left, right, top, bottom,
    /// width, height, centre x and y, baseline), not installed; null for any other attribute or
    /// when the view has no superview. Its second item is the reference, or the superview.
    std::shared_ptr<platform::LayoutConstraint> constraintFor(platform::LayoutAttribute attribute) const;
    /// `constraintFor(attribute)` installed on the view's superview; null when there is none or
    /// the superview refuses it (a reference outside its subtree, which it logs).
    std::shared_ptr<platform::LayoutConstraint> applyConstraintsFor(platform::LayoutAttribute attribute) const;

private:
    void parseArray(const platform::Value& array);
    std::shared_ptr<platform::View> referenceByObjectId(const std::string& id) const;
    std::shared_ptr<platform::LayoutConstraint> edgeConstraint(platform::LayoutAttribute attribute,
        platform::LayoutAttribute referenceAttribute, bool farEdge) const;
    std::shared_ptr<platform::LayoutConstraint> sizeConstraint(platform::LayoutAttribute attribute) const;

    std::shared_ptr<platform::View> m_view;
    std::weak_ptr<ClientContext> m_client;
    float m_offset = 0;
    std::shared_ptr<platform::View> m_reference;
    std::optional<float> m_percentage;
};

} // namespace morvix
