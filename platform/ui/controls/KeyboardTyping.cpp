#include "platform/ui/controls/KeyboardTyping.h"

#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/KeyInput.h"

namespace morvix::platform {

namespace {

// The length of the UTF-8 sequence led by `lead`, at most what is left of the text.
std::size_t sequenceLength(unsigned char lead, std::size_t left)
{
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(length, left);
}

} // namespace

KeyInput* KeyboardTyping::focusedInput()
{
    auto window = Application::shared().keyWindow();
    auto responder = window ? window->firstResponder() : nullptr;
    // The responder stays alive for the call: the window's first responder is also in its
    // view tree, which holds it.
    return dynamic_cast<KeyInput*>(responder.get());
}

bool KeyboardTyping::type(const std::string& text)
{
    if (!focusedInput())
        return false;
    for (std::size_t index = 0; index < text.size();) {
        std::size_t length = sequenceLength(static_cast<unsigned char>(text[index]), text.size() - index);
        std::string key = text.substr(index, length);
        index += length;
        // The focus may move while typing (a delegate ends editing): each key goes to whoever
        // has it then.
        auto* input = focusedInput();
        if (!input)
            return true;
        if (key == "\n")
            input->pressReturn();
        else
            input->insertText(key);
    }
    return true;
}

bool KeyboardTyping::paste(const std::string& text)
{
    auto* input = focusedInput();
    if (!input)
        return false;
    input->paste(text);
    return true;
}

bool KeyboardTyping::deleteBackward()
{
    auto* input = focusedInput();
    if (!input)
        return false;
    input->deleteBackward();
    return true;
}

bool KeyboardTyping::pressReturn()
{
    auto* input = focusedInput();
    if (!input)
        return false;
    input->pressReturn();
    return true;
}

bool KeyboardTyping::select(TextRange range)
{
    auto* input = focusedInput();
    if (!input)
        return false;
    input->selectByUser(range);
    return true;
}

bool KeyboardTyping::tapDone()
{
    auto* input = focusedInput();
    auto toolbar = input ? std::dynamic_pointer_cast<Toolbar>(input->inputAccessoryView()) : nullptr;
    if (!toolbar)
        return false;
    for (const auto& item : toolbar->items()) {
        if (item->systemItem() == BarButtonSystemItem::Done)
            return item->tap();
    }
    return false;
}

} // namespace morvix::platform
