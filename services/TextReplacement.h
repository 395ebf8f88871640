#pragma once
// "morvix.TextReplacement": shortcuts that a text widget offers to replace by their texts.

#include "core/objects/RemoteClass.h"
#include "widgets/controls/TextReplacer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

class DropDown;

/// A table of shortcuts and the texts they stand for ("texts", kept in the wire's order). A text
/// widget whose data "textReplacement" names this object hands itself over (`handle`) whenever
/// its text or selection changes or it gets the focus; when the text before the caret ends with
/// shortcuts (compared in lower case, by the root locale), their texts are offered, in the order
/// of "texts", in the widget's drop-down "<widget id>-dropdown" above the caret, and the chosen
/// one replaces the shortcut.
///
/// Rules:
///  1. Only a caret (a selection whose start equals its end) is looked at.
///  2. The drop-down is found by id and its listeners removed, or made (no properties),
///     parented to the widget and registered. An object of another kind under that id is left
///     alone (logged), and nothing is offered.
///  3. An item is the text, or, at 26 UTF-16 units or more, its first 24 units and "…" (23 when
///     the 24th would split a surrogate pair).
///  4. Choosing: the tail of the text before the caret whose lower-case form matched the
///     shortcut is cut (never before the text's start nor inside a pair), the text put in its
///     place, and the text and the caret after it set twice; then the widget's `textModified`
///     reports it as typed text. An index beyond the current matches does nothing.
///
/// Main thread only.
class TextReplacement final : public RemoteClass<TextReplacement, BasicObject>, public TextReplacer {
public:
    static constexpr std::string_view kRemoteType = "morvix.TextReplacement";
    static constexpr std::size_t kShortenFrom = 26;
    static constexpr std::size_t kShortenedLength = 24;

    using RemoteClass::RemoteClass;

    static const PropertyTable& properties();
    /// The base's names plus "texts".
    static const PropertyNames& remoteObjectProperties();

    const platform::Value& texts() const { return m_texts; }
    /// An object of shortcut to text; null gives none.
    void setTexts(std::optional<platform::Value> texts);

    // TextReplacer
    void handle(const std::shared_ptr<Text>& widget) override;

    /// The shortcuts that the text before `caret` (UTF-16 units) ends with, in lower case, in
    /// the order of "texts".
    std::vector<std::string> matchesBefore(const std::string& text, std::size_t caret) const;
    /// What the drop-down shows for `text` (rule 3).
    static std::string itemTitle(const std::string& text);

private:
    void suggest(std::vector<std::string> matches, const std::shared_ptr<Text>& widget);
    std::shared_ptr<DropDown> dropDownFor(const std::shared_ptr<Text>& widget);
    void replace(const std::string& shortcut, const std::shared_ptr<Text>& widget, const std::string& text);

    platform::Value m_texts = platform::Value::object();
};

} // namespace morvix
