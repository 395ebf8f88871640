#pragma once
// A linear relation between two layout attributes of views.

#include "platform/ui/Forward.h"

#include <cstdint>
#include <memory>
#include <string>

namespace morvix::platform {

/// Layout attributes by the platform's codes.
enum class LayoutAttribute {
    NotAnAttribute = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
    Baseline = 11,
};

enum class LayoutRelation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

const char* attributeName(LayoutAttribute attribute);
const char* relationSymbol(LayoutRelation relation);

/// Layout priorities: 1000 must hold; lower ones are preferences, stronger the higher they are.
namespace LayoutPriority {
inline constexpr double Required = 1000;
inline constexpr double DefaultHigh = 750;
inline constexpr double DefaultLow = 250;
inline constexpr double FittingSizeLevel = 50;
}

/// `firstItem.firstAttribute relation multiplier * secondItem.secondAttribute + constant`, at a
/// priority from 1 to 1000. Without a second item the right-hand side is the constant alone.
/// Items are held weakly (a view holds the constraints installed on it). A constraint takes
/// effect while it is installed on a view that contains both items (`View::addConstraint`, or
/// `setActive`). Leading and trailing mean left and right. Main thread only.
class LayoutConstraint final : public std::enable_shared_from_this<LayoutConstraint> {
public:
    static std::shared_ptr<LayoutConstraint> create(const std::shared_ptr<View>& firstItem, LayoutAttribute firstAttribute,
        LayoutRelation relation, const std::shared_ptr<View>& secondItem, LayoutAttribute secondAttribute,
        double multiplier = 1, double constant = 0);
    LayoutConstraint(const LayoutConstraint&) = delete;
    LayoutConstraint& operator=(const LayoutConstraint&) = delete;

    std::shared_ptr<View> firstItem() const { return m_firstItem.lock(); }
    LayoutAttribute firstAttribute() const { return m_firstAttribute; }
    LayoutRelation relation() const { return m_relation; }
    std::shared_ptr<View> secondItem() const { return m_secondItem.lock(); }
    LayoutAttribute secondAttribute() const { return m_secondAttribute; }
    double multiplier() const { return m_multiplier; }
    bool mentions(const View& view) const;
    /// A number unique to this constraint, increasing in creation order.
    std::uint64_t serial() const { return m_serial; }

    double constant() const { return m_constant; }
    /// Changes the constant; the next layout pass of the installing view's window applies it.
    void setConstant(double constant);
    double priority() const { return m_priority; }
    /// Clamped to [1, 1000].
    void setPriority(double priority);
    const std::string& identifier() const { return m_identifier; }
    void setIdentifier(std::string identifier) { m_identifier = std::move(identifier); }

    /// The view the constraint is installed on; null when it is not installed.
    std::shared_ptr<View> installedOn() const { return m_installedOn.lock(); }
    bool isActive() const { return !m_installedOn.expired(); }
    /// Activating installs the constraint on the closest common ancestor of its items (refused
    /// and logged when they have none); deactivating removes it from where it is installed.
    void setActive(bool active);

    /// A readable form, e.g. "w3.left == w2.right + 8 @1000", naming views by `nameOf`.
    template<typename NameOf>
    std::string describe(NameOf nameOf) const
    {
        return describeWith(nameOf(firstItem().get()), nameOf(secondItem().get()));
    }

private:
    friend class View;
    LayoutConstraint() = default;
    std::string describeWith(const std::string& first, const std::string& second) const;
    void changed();

    std::weak_ptr<View> m_firstItem;
    LayoutAttribute m_firstAttribute = LayoutAttribute::NotAnAttribute;
    LayoutRelation m_relation = LayoutRelation::Equal;
    std::weak_ptr<View> m_secondItem;
    LayoutAttribute m_secondAttribute = LayoutAttribute::NotAnAttribute;
    double m_multiplier = 1;
    double m_constant = 0;
    double m_priority = LayoutPriority::Required;
    std::string m_identifier;
    std::weak_ptr<View> m_installedOn;
    std::uint64_t m_serial = 0;
    // Where the items were when the constraint was made: the keys of the installing view's
    // index, which must find the constraint again after an item is gone. Never dereferenced.
    const View* m_firstAddress = nullptr;
    const View* m_secondAddress = nullptr;
    std::size_t m_slot = 0; // in the installing view's list
};

} // namespace morvix::platform
