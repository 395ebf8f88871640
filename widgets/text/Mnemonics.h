#pragma once
// The "&" mnemonic marker of button, item and canvas texts.

#include <string>

namespace morvix {

/// Stateless; any thread.
class Mnemonics final {
public:
    /// The text without its mnemonic marker: "&&" stands for a literal "&", the first single
    /// "&" before a character is deleted, later single markers and a final "&" are kept.
    /// "&File" gives "File", "A&&B" gives "A&B", "&A&B" gives "A&B".
    static std::string removeMnemonics(std::string text);
};

} // namespace morvix
