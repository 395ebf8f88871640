#pragma once
// The object that replaces typed abbreviations in text widgets.

#include <memory>

namespace morvix {

class Text;

/// An object that looks at a text widget's text after it changed or got the focus, and may
/// replace part of it. A text widget hands itself only to an object of this kind that its data
/// "textReplacement" names. Main thread only.
class TextReplacer {
public:
    virtual ~TextReplacer() = default;
    virtual void handle(const std::shared_ptr<Text>& widget) = 0;

protected:
    TextReplacer() = default;
};

} // namespace morvix
