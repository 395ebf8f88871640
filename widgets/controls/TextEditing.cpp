#include "widgets/controls/TextEditing.h"

#include "core/session/MorvixClient.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/controls/TextView.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace morvix::textediting {

using platform::Value;

namespace {

// The session's default for a trait; none when the client is gone or gives none.
std::optional<bool> clientDefault(const ClientContext* client, std::optional<bool> (MorvixClient::*read)() const)
{
    auto* session = dynamic_cast<const MorvixClient*>(client);
    return session ? (session->*read)() : std::nullopt;
}

// A selection end as an offset into `text`: clamped to the text and off the middle of a pair.
std::size_t offsetOf(const Value& end, const std::string& text)
{
    double value = end.is_boolean() ? (end.get<bool>() ? 1 : 0) : end.get<double>();
    std::size_t length = platform::utf16::length(text);
    if (!(value > 0))
        return 0;
    std::size_t offset = value >= static_cast<double>(length) ? length : static_cast<std::size_t>(value);
    return platform::utf16::roundedOffset(text, offset);
}

double endOf(const Value& end)
{
    return end.is_boolean() ? (end.get<bool>() ? 1 : 0) : end.get<double>();
}

} // namespace

platform::KeyboardType keyboardNamed(const std::string& name)
{
    using platform::KeyboardType;
    static const std::pair<const char*, KeyboardType> table[] = {
        { "ascii", KeyboardType::ASCIICapable },
        { "numbersAndPunctuation", KeyboardType::NumbersAndPunctuation },
        { "url", KeyboardType::URL },
        { "number", KeyboardType::NumberPad },
        { "phone", KeyboardType::PhonePad },
        { "email", KeyboardType::EmailAddress },
    };
    for (const auto& [entry, type] : table) {
        if (name == entry)
            return type;
    }
    if (name == "decimal") {
        bool pad = platform::DeviceInfo::current().idiom() == platform::DeviceIdiom::Pad;
        return pad ? KeyboardType::NumbersAndPunctuation : KeyboardType::DecimalPad;
    }
    return KeyboardType::Default;
}

void applyCapitalizationDefault(platform::KeyInput& input, const ClientContext* client)
{
    bool capitalize = clientDefault(client, &MorvixClient::defaultAutoCapitalization).value_or(false);
    input.setAutocapitalizationType(capitalize ? platform::AutocapitalizationType::Sentences : platform::AutocapitalizationType::None);
}

void applyCorrectionDefault(platform::KeyInput& input, const ClientContext* client)
{
    bool correct = clientDefault(client, &MorvixClient::defaultAutoCorrection).value_or(false);
    input.setAutocorrectionType(correct ? platform::AutocorrectionType::Default : platform::AutocorrectionType::No);
}

bool isSelectionValue(const Value& value)
{
    return value.is_array() && value.size() == 2 && (value[0].is_number() || value[0].is_boolean())
        && (value[1].is_number() || value[1].is_boolean());
}

void applySelection(platform::KeyInput& input, const std::optional<Value>& selection)
{
    if (!selection || !isSelectionValue(*selection))
        return;
    std::size_t start = offsetOf((*selection)[0], input.text());
    std::size_t end = offsetOf((*selection)[1], input.text());
    if (start > end)
        std::swap(start, end);
    platform::TextRange range { start, end - start };
    if (range != input.selectedRange())
        input.setSelectedRange(range);
}

bool selectionDiffers(const std::optional<Value>& stored, platform::TextRange current)
{
    if (!stored || !isSelectionValue(*stored))
        return true;
    return endOf((*stored)[0]) != static_cast<double>(current.location) || endOf((*stored)[1]) != static_cast<double>(current.end());
}

std::shared_ptr<platform::View> doneToolbar(std::weak_ptr<void> owner, std::function<void()> done)
{
    auto toolbar = platform::Toolbar::create();
    auto item = platform::BarButtonItem::createSystem(platform::BarButtonSystemItem::Done);
    item->setTarget(std::move(owner), [done = std::move(done)](platform::BarButtonItem&) { done(); });
    toolbar->setItems({ platform::BarButtonItem::createSystem(platform::BarButtonSystemItem::FlexibleSpace), item });
    toolbar->sizeToFit();
    return toolbar;
}

void setTextColor(platform::View& input, const platform::Color& color)
{
    if (auto* field = dynamic_cast<platform::TextField*>(&input))
        field->setTextColor(color);
    else if (auto* view = dynamic_cast<platform::TextView*>(&input))
        view->setTextColor(color);
}

void setFont(platform::View& input, const platform::Font& font)
{
    if (auto* field = dynamic_cast<platform::TextField*>(&input))
        field->setFont(font);
    else if (auto* view = dynamic_cast<platform::TextView*>(&input))
        view->setFont(font);
}

void setTextAlignment(platform::View& input, platform::TextAlignment alignment)
{
    if (auto* field = dynamic_cast<platform::TextField*>(&input))
        field->setTextAlignment(alignment);
    else if (auto* view = dynamic_cast<platform::TextView*>(&input))
        view->setTextAlignment(alignment);
}

} // namespace morvix::textediting
