#pragma once
// What a search screen tells the object that opened it.

#include <string>

namespace morvix {

/// The owner of a `SearchViewController`: hears every change of the query, the query searched
/// for and the end of the search. Each call hands the text on as the screen had it. Held weakly
/// by the screen. Main thread.
class SearchDelegate {
public:
    virtual ~SearchDelegate() = default;
    /// The user typed in the search bar, or took a proposal's text with its detail button.
    virtual void searchModified(const std::string& text) = 0;
    /// The user chose a proposal or pressed the keyboard's search key.
    virtual void searchFor(const std::string& text) = 0;
    /// The search bar ended editing: the screen should close (nothing when it already did).
    virtual void searchClosed() = 0;
};

} // namespace morvix
