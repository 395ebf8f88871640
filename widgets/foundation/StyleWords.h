#pragma once
// Reading the words of a "style" array.

#include "core/base/WireDeclarations.h"
#include "platform/foundation/Value.h"

#include <optional>

namespace morvix {

/// True when `style` is an array holding the declared word. Taking the declaration, not the
/// word, keeps every word a class reads in its wire table.
inline bool styleHasWord(const std::optional<platform::Value>& style, const StyleDeclaration& word)
{
    if (!style || !style->is_array())
        return false;
    for (const auto& entry : *style) {
        if (entry.is_string() && entry.get_ref<const std::string&>() == word.word)
            return true;
    }
    return false;
}

/// The same for the "style" of creation properties (null or not an object: none).
inline bool creationStyleHasWord(const platform::Value* properties, const StyleDeclaration& word)
{
    if (!properties || !properties->is_object())
        return false;
    auto style = properties->find("style");
    return style != properties->end() && styleHasWord(*style, word);
}

} // namespace morvix
