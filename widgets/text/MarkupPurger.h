#pragma once
// Markup text to plain text.

#include <string>
#include <string_view>

namespace morvix {

/// Reduces markup to its characters: tags are dropped ("br" included), entities and character
/// references decoded. Markup that is not well-formed is returned unchanged. One purger serves
/// one `purge`; it is not shared between threads.
class MarkupPurger final {
public:
    std::string purge(std::string_view markup);

private:
    std::string m_string;
};

} // namespace morvix
