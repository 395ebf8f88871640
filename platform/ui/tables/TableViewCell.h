#pragma once
// One row of a table view: a content view with a title, an optional detail line, an image and an
// accessory.

#include "platform/graphics/Font.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <string>

namespace morvix::platform {

class Button;
class ImageView;
class Label;

/// The cell's built-in layout. Default: image and title on one line. Subtitle: the title with a
/// smaller detail line below it.
enum class TableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
/// What the cell shows at its right end. The numbers are the platform's.
enum class TableViewCellAccessory { None = 0, DisclosureIndicator = 1, DetailDisclosureButton = 2, Checkmark = 3 };
/// How a highlighted or selected cell looks. The numbers are the platform's.
enum class TableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2 };

/// A row of a `TableView`. Its subviews are the content view (which holds the image view and the
/// labels; custom cells add their views there) and, with the detail-disclosure accessory, a real
/// button that the table hears through `onAccessoryTapped`.
///
/// Layout (`layoutSubviews`): the content view fills the cell less the accessory's room at the
/// right; the image view sits at the left, vertically centred, at the image's size scaled down
/// to the row's height; the title (and, in the subtitle style, the detail line below it) fill
/// the rest. The title font is `kTitleFontSize` points and the detail line's `kDetailFontSize`
/// (a headless choice). A highlighted or selected cell with a selection style draws the
/// selection colour behind its content; every cell may draw a separator line along its bottom.
///
/// Main thread only.
class TableViewCell : public View {
public:
    static constexpr double kTitleFontSize = 17;
    static constexpr double kDetailFontSize = 12;
    /// The room the accessory takes at the right end of the cell.
    static constexpr double kAccessoryWidth = 38;

    static std::shared_ptr<TableViewCell> create(TableViewCellStyle style = TableViewCellStyle::Default,
        std::string reuseIdentifier = {});
    ~TableViewCell() override;
    const char* className() const override { return "TableViewCell"; }

    TableViewCellStyle style() const { return m_style; }
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }

    const std::shared_ptr<View>& contentView() const { return m_contentView; }
    const std::shared_ptr<Label>& textLabel() const { return m_textLabel; }
    /// Null in the default style.
    const std::shared_ptr<Label>& detailTextLabel() const { return m_detailTextLabel; }
    const std::shared_ptr<ImageView>& imageView() const { return m_imageView; }

    TableViewCellAccessory accessoryType() const { return m_accessory; }
    void setAccessoryType(TableViewCellAccessory accessory);
    /// The detail-disclosure button; null with another accessory.
    const std::shared_ptr<Button>& accessoryButton() const { return m_accessoryButton; }
    TableViewCellSelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(TableViewCellSelectionStyle style);

    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted, Animated animated = Animated::No);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected, Animated animated = Animated::No);
    /// Whether the cell draws its separator line; set by the table.
    bool showsSeparator() const { return m_showsSeparator; }
    void setShowsSeparator(bool shows);

    /// Called by the table before it hands out a pooled cell again: clears the highlight and the
    /// selection. Overrides call the base.
    virtual void prepareForReuse();

    /// Run when the detail-disclosure button is tapped; the table sets it.
    std::function<void(TableViewCell&)> onAccessoryTapped;

    void layoutSubviews() override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);
    /// Builds the subviews; factories of subclasses call it once the cell is owned.
    void buildSubviews();

private:
    void drawAccessory(GraphicsContext& context) const;

    TableViewCellStyle m_style;
    std::string m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
    std::shared_ptr<Label> m_detailTextLabel;
    std::shared_ptr<ImageView> m_imageView;
    std::shared_ptr<Button> m_accessoryButton;
    TableViewCellAccessory m_accessory = TableViewCellAccessory::None;
    TableViewCellSelectionStyle m_selectionStyle = TableViewCellSelectionStyle::Blue;
    bool m_highlighted = false;
    bool m_selected = false;
    bool m_showsSeparator = false;
};

} // namespace morvix::platform
