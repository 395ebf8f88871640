#pragma once
// Reading the words of a "style" array.

#include "platform/foundation/Value.h"

#include <optional>
#include <string_view>

namespace morvix {

/// True when `style` is an array holding the string `word`.
inline bool styleHasWord(const std::optional<platform::Value>& style, std::string_view word)
{
    if (!style || !style->is_array())
        return false;
    for (const auto& entry : *style) {
        if (entry.is_string() && entry.get_ref<const std::string&>() == word)
            return true;
    }
    return false;
}

} // namespace morvix
