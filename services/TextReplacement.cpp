#include "services/TextReplacement.h"

#include "core/base/LogEntry.h"
#include "core/objects/ObjectRegistry.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Utf16.h"
#include "widgets/controls/DropDown.h"
#include "widgets/controls/Text.h"

namespace morvix {

using platform::Value;
namespace utf16 = platform::utf16;

namespace {

constexpr const char* kEllipsis = "\u2026";

// The caret's offset when `selection` is a caret, else nothing.
std::optional<std::size_t> caretOf(const std::optional<Value>& selection)
{
    if (!selection || !selection->is_array() || selection->size() != 2 || !(*selection)[0].is_number() || !(*selection)[1].is_number())
        return std::nullopt;
    double start = (*selection)[0].get<double>();
    double end = (*selection)[1].get<double>();
    if (start != end || !(end >= 0))
        return std::nullopt;
    return static_cast<std::size_t>(end);
}

// Where the shortcut starts in `before` (the text before the caret, UTF-8): the shortest tail,
// taken at character boundaries, whose lower-case form is `lowerShortcut`. Without one (a case
// mapping that depends on what precedes), the shortcut's own length back from the end, clamped
// to the start and rounded off the middle of a pair. A byte index into `before`.
std::size_t cutIndex(const std::string& before, const std::string& lowerShortcut, std::size_t shortcutUnits)
{
    std::size_t limit = 3 * utf16::length(lowerShortcut) + 3;
    std::size_t index = before.size();
    for (std::size_t characters = 0; index > 0 && characters < limit; ++characters) {
        do
            --index;
        while (index > 0 && (static_cast<unsigned char>(before[index]) & 0xC0) == 0x80);
        if (utf16::lowercased(std::string_view(before).substr(index)) == lowerShortcut)
            return index;
    }
    std::size_t caret = utf16::length(before);
    std::size_t start = caret > shortcutUnits ? caret - shortcutUnits : 0;
    return utf16::byteIndex(before, start);
}

} // namespace

const PropertyTable& TextReplacement::properties()
{
    static const PropertyTable table = PropertyTable::extend<TextReplacement>(BasicObject::properties())
                                           .dictionary("texts", &TextReplacement::setTexts,
                                               [](const TextReplacement& self) { return std::optional<Value>(self.m_texts); });
    return table;
}

const PropertyNames& TextReplacement::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "texts" });
    return names;
}

void TextReplacement::setTexts(std::optional<Value> texts)
{
    m_texts = texts && texts->is_object() ? std::move(*texts) : Value::object();
}

std::vector<std::string> TextReplacement::matchesBefore(const std::string& text, std::size_t caret) const
{
    std::string before = utf16::lowercased(std::string_view(text).substr(0, utf16::byteIndex(text, caret)));
    std::vector<std::string> matches;
    for (const auto& [shortcut, replacement] : m_texts.items()) {
        if (!replacement.is_string() || shortcut.empty())
            continue;
        if (before.ends_with(utf16::lowercased(shortcut)))
            matches.push_back(shortcut);
    }
    return matches;
}

std::string TextReplacement::itemTitle(const std::string& text)
{
    if (utf16::length(text) < kShortenFrom)
        return text;
    // Rounding moves a cut inside a surrogate pair to the pair's start: one unit less.
    return text.substr(0, utf16::byteIndex(text, kShortenedLength)) + kEllipsis;
}

void TextReplacement::handle(const std::shared_ptr<Text>& widget)
{
    if (!widget)
        return;
    auto caret = caretOf(widget->selection());
    if (!caret)
        return;
    auto matches = matchesBefore(widget->text().value_or(std::string()), *caret);
    if (matches.empty())
        return;
    suggest(std::move(matches), widget);
}

std::shared_ptr<DropDown> TextReplacement::dropDownFor(const std::shared_ptr<Text>& widget)
{
    auto client = this->client();
    if (!client)
        return nullptr;
    std::string id = widget->objectId() + "-dropdown";
    if (auto existing = client->objectById(id)) {
        auto dropDown = std::dynamic_pointer_cast<DropDown>(existing);
        if (!dropDown) {
            client->log(LogEntry(platform::format("TextReplacement %@ offers nothing: %@ is no drop-down", objectId(), id),
                LogEntry::Type::Warning));
            return nullptr;
        }
        dropDown->removeSelectionListeners();
        return dropDown;
    }
    auto session = std::dynamic_pointer_cast<MorvixClient>(client);
    auto dropDown = std::dynamic_pointer_cast<DropDown>(DropDown::create(id, nullptr, client));
    if (!session || !dropDown)
        return nullptr;
    dropDown->setParent(widget);
    session->objectRegistry()->addObject(dropDown);
    return dropDown;
}

void TextReplacement::suggest(std::vector<std::string> matches, const std::shared_ptr<Text>& widget)
{
    auto dropDown = dropDownFor(widget);
    if (!dropDown)
        return;
    std::vector<std::string> items;
    for (const auto& shortcut : matches)
        items.push_back(itemTitle(m_texts.at(shortcut).get<std::string>()));
    std::weak_ptr<TextReplacement> weakSelf = std::static_pointer_cast<TextReplacement>(shared_from_this());
    std::weak_ptr<Text> weakWidget = widget;
    dropDown->addSelectionListener([weakSelf, weakWidget, matches](unsigned index) {
        auto self = weakSelf.lock();
        auto widget = weakWidget.lock();
        if (!self || !widget || index >= matches.size())
            return;
        const Value* text = self->m_texts.contains(matches[index]) ? &self->m_texts.at(matches[index]) : nullptr;
        if (text && text->is_string())
            self->replace(matches[index], widget, text->get<std::string>());
    });
    dropDown->setItems(std::move(items));
    dropDown->setVisible(true);
}

void TextReplacement::replace(const std::string& shortcut, const std::shared_ptr<Text>& widget, const std::string& text)
{
    auto caret = caretOf(widget->selection());
    if (!caret)
        return;
    std::string current = widget->text().value_or(std::string());
    std::string before = current.substr(0, utf16::byteIndex(current, *caret));
    std::size_t cut = cutIndex(before, utf16::lowercased(shortcut), utf16::length(shortcut));
    std::string head = before.substr(0, cut);
    std::string replaced = head + text + current.substr(before.size());
    std::size_t newCaret = utf16::length(head) + utf16::length(text);
    // Twice: the platform's text input may change the text after the first setting.
    for (int pass = 0; pass < 2; ++pass) {
        widget->setText(replaced);
        widget->setSelection(Value::array({ newCaret, newCaret }));
    }
    widget->textModified();
}

} // namespace morvix
