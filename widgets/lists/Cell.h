#pragma once
// One text or image of a row template, placed in the row by edge attachments.

#include "core/objects/TypeConverter.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class ClientContext;
class TreeItem;

namespace platform {
class View;
}

/// A cell of a row template ("rowTemplate" of a tree): what it shows (its own static content, or
/// column `bindingIndex` of each row's item), where (edge attachments, fixed sizes, alignments)
/// and how (font, colours, whether taps are reported).
///
/// Edges: "left" and "top" given as a number o are an offset from the row's same edge, given as
/// [p, o] they place the edge at p percent of the row's width (height) plus o; "right" and
/// "bottom" as a number are an inset from the same edge, as [p, o] the edge lies at (100 − p)
/// percent less o. Any other shape counts as absent (as does a negative size), so that a peer's
/// malformed value places nothing instead of reading past its end. A "bindingIndex" that is not a
/// whole number from 0 to 2^31 − 1 counts as absent.
///
/// Shared by the template and by every row built from it (rows may outlive a replaced template).
/// Main thread only.
class Cell {
public:
    virtual ~Cell();

    /// A text or image cell for a "type" of "text" or "image", with the description applied;
    /// null for any other.
    static std::shared_ptr<Cell> cellFrom(const platform::Value& description, const std::shared_ptr<ClientContext>& client);

    /// Reads the keys every cell has; subclasses add theirs.
    virtual void apply(const platform::Value& description);
    /// The cell's view, added to `container` and constrained there.
    std::shared_ptr<platform::View> createViewInContainer(const std::shared_ptr<platform::View>& container);
    /// Refills `cellView` from column `column` of `item` (null: a placeholder row).
    virtual void updateWith(const std::shared_ptr<TreeItem>& item, std::size_t column, platform::View& cellView);
    /// The tag of the view inside the container that shows the content.
    virtual int viewTag() const = 0;

    const std::string& type() const { return m_type; }
    const std::optional<std::string>& name() const { return m_name; }
    const std::optional<std::size_t>& bindingIndex() const { return m_bindingIndex; }
    bool isSelectable() const { return m_selectable; }
    const platform::Color& foreground() const { return m_foreground; }
    const platform::Color& background() const { return m_background; }
    const std::optional<TypeConverter::NativeFont>& font() const { return m_font; }
    bool markupEnabled() const { return m_markupEnabled; }
    void setMarkupEnabled(bool enabled) { m_markupEnabled = enabled; }
    const std::string& horizontalAlignment() const { return m_horizontalAlignment; }
    const std::string& verticalAlignment() const { return m_verticalAlignment; }
    const std::optional<double>& width() const { return m_width; }
    const std::optional<double>& height() const { return m_height; }

    /// An edge value as [percent or none, offset]; none for a malformed or absent value.
    struct Attachment {
        std::optional<double> percent;
        double offset = 0;
    };
    static std::optional<Attachment> attachment(const platform::Value* value);

protected:
    explicit Cell(std::string type) : m_type(std::move(type)) { }
    virtual std::shared_ptr<platform::View> internalCreateView() = 0;
    /// A container view for the content: interactive only when selectable, clipping.
    std::shared_ptr<platform::View> makeContainer() const;

private:
    void applyLayout(const std::shared_ptr<platform::View>& view, const std::shared_ptr<platform::View>& container) const;

    std::string m_type;
    std::optional<std::string> m_name;
    std::optional<std::size_t> m_bindingIndex;
    bool m_selectable = false;
    platform::Color m_foreground = platform::Color::black();
    platform::Color m_background = platform::Color::clear();
    std::optional<TypeConverter::NativeFont> m_font;
    std::optional<Attachment> m_left;
    std::optional<Attachment> m_right;
    std::optional<Attachment> m_top;
    std::optional<Attachment> m_bottom;
    std::optional<double> m_width;
    std::optional<double> m_height;
    std::string m_horizontalAlignment;
    std::string m_verticalAlignment;
    bool m_markupEnabled = false;
};

} // namespace morvix
