#pragma once
// The marker of widgets whose layout never animates.

namespace morvix {

/// Adopted by a widget class whose layout changes are never animated, whatever its "data" says.
/// Tested with `dynamic_cast<const LayoutNotAnimatable*>`.
class LayoutNotAnimatable {
public:
    virtual ~LayoutNotAnimatable() = default;

protected:
    LayoutNotAnimatable() = default;
    LayoutNotAnimatable(const LayoutNotAnimatable&) = default;
    LayoutNotAnimatable& operator=(const LayoutNotAnimatable&) = default;
};

} // namespace morvix
