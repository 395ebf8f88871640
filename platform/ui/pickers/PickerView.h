#pragma once
// A spinning wheel of rows in one or more components.

#include "platform/ui/View.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class PickerView;

/// Tells a picker view how many components and rows it has. Required.
class PickerViewDataSource {
public:
    virtual ~PickerViewDataSource() = default;
    virtual int numberOfComponents(PickerView& picker) = 0;
    virtual int numberOfRows(PickerView& picker, int component) = 0;
};

/// What a picker view shows in its rows and whom it tells of a user's spin. Every operation is
/// optional: the defaults answer "nothing" (no title, no view, the picker's own width and row
/// height) and do nothing.
class PickerViewDelegate {
public:
    virtual ~PickerViewDelegate() = default;
    virtual std::optional<std::string> titleForRow(PickerView& picker, int row, int component)
    {
        (void)picker, (void)row, (void)component;
        return std::nullopt;
    }
    /// A view for the row; it wins over the title. `reusing` is a view given before, or null.
    virtual std::shared_ptr<View> viewForRow(PickerView& picker, int row, int component, const std::shared_ptr<View>& reusing)
    {
        (void)picker, (void)row, (void)component, (void)reusing;
        return nullptr;
    }
    virtual std::optional<double> widthForComponent(PickerView& picker, int component)
    {
        (void)picker, (void)component;
        return std::nullopt;
    }
    virtual std::optional<double> rowHeightForComponent(PickerView& picker, int component)
    {
        (void)picker, (void)component;
        return std::nullopt;
    }
    /// A user's spin settled on `row`; never called for a selection made by code.
    virtual void didSelectRow(PickerView& picker, int row, int component) { (void)picker, (void)row, (void)component; }
};

/// Wheels of rows side by side, one per component, with a selected row in each.
///
/// Rules:
///  1. The data source and the delegate are held weakly; without a data source the picker has
///     no components.
///  2. `selectRow` from code selects without telling the delegate; a row or component out of
///     range is ignored (the wheel keeps its row).
///  3. `selectedRow` is -1 for a component without rows; reloading a component clamps its
///     selection to the rows it now has.
///  4. `turnTo` plays a user's spin: ignored while user interaction is off or when the row is
///     out of range, else it selects the row and tells the delegate.
/// Drawn as columns (the delegate's widths, else equal shares) with the selected row in the
/// middle band. Main thread only.
class PickerView : public View {
public:
    static constexpr double kDefaultHeight = 216;
    static constexpr double kDefaultRowHeight = 32;
    static constexpr double kTitleFontSize = 20;

    /// 320 by 216 points when `frame` is empty.
    static std::shared_ptr<PickerView> create(const Rect& frame = {});
    const char* className() const override { return "PickerView"; }

    void setDataSource(std::weak_ptr<PickerViewDataSource> dataSource);
    void setDelegate(std::weak_ptr<PickerViewDelegate> delegate) { m_delegate = std::move(delegate); }
    std::shared_ptr<PickerViewDataSource> dataSource() const { return m_dataSource.lock(); }
    std::shared_ptr<PickerViewDelegate> delegate() const { return m_delegate.lock(); }

    int numberOfComponents() const;
    int numberOfRows(int component) const;
    void selectRow(int row, int component, Animated animated = Animated::No);
    int selectedRow(int component) const;
    void reloadAllComponents();
    void reloadComponent(int component);
    bool showsSelectionIndicator() const { return m_showsSelectionIndicator; }
    void setShowsSelectionIndicator(bool shows) { m_showsSelectionIndicator = shows; }

    /// The delegate's width of the component, else an equal share of the bounds.
    double widthForComponent(int component) const;
    double rowHeight(int component) const;
    /// What a row shows: the delegate's view, or null (then `titleForRow`).
    std::shared_ptr<View> viewForRow(int row, int component) const;
    std::optional<std::string> titleForRow(int row, int component) const;

    /// Test driver: a user's spin to `row` of `component` (see rule 4).
    void turnTo(int row, int component);

    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit PickerView(const Rect& frame);

private:
    bool isValid(int row, int component) const;
    void drawComponent(GraphicsContext& context, int component, double x, double width);

    std::weak_ptr<PickerViewDataSource> m_dataSource;
    std::weak_ptr<PickerViewDelegate> m_delegate;
    std::vector<int> m_selected; // by component; rows not clamped until a reload
    bool m_showsSelectionIndicator = false;
};

} // namespace morvix::platform
