#pragma once
// A recogniser that recognises the moment a finger goes down.

#include "platform/ui/GestureRecognizer.h"

#include <memory>

namespace morvix {

/// Recognises (discretely) as soon as a touch begins and does nothing else: the mouse
/// listener's "button pressed". Main thread only.
class MouseDown final : public platform::GestureRecognizer {
public:
    static std::shared_ptr<MouseDown> create(Action action = {});
    const char* className() const override { return "MouseDown"; }

    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override;

private:
    explicit MouseDown(Action action) : GestureRecognizer(std::move(action)) { }
};

} // namespace morvix
