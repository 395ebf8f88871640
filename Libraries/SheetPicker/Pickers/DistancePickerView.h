#pragma once
// A picker view with unit labels inside some of its wheels.

#include "platform/ui/controls/Label.h"
#include "platform/ui/pickers/PickerView.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

/// A wheel picker that shows a unit label ("m", "cm") inside some components, just right of
/// the widest text the component's rows show, above the selection band. The labels are made
/// once, when the view first lands in a window, in the bold system font of 20 points on a
/// clear background with a white shadow. Main thread only.
class DistancePickerView final : public platform::PickerView {
public:
    static constexpr double kLabelFontSize = 20;
    static constexpr double kFadeDuration = 0.75;

    static std::shared_ptr<DistancePickerView> create(const platform::Rect& frame);
    const char* className() const override { return "DistancePickerView"; }

    /// The label of `component`, sized to fit `longestString` (the text itself when none).
    void addLabel(std::string text, int component, std::optional<std::string> longestString = std::nullopt);
    /// Changes a label's text, fading it in over 0.75 s; no-op for a component without a label.
    void updateLabel(std::string text, int component);
    /// The label view of a component once the view has been in a window; null before.
    std::shared_ptr<platform::Label> labelView(int component) const;

    void didMoveToWindow() override;

private:
    explicit DistancePickerView(const platform::Rect& frame) : PickerView(frame) { }
    double componentX(int component) const;

    std::map<int, std::string> m_labels;
    std::map<std::string, std::string> m_longest; // "longestString_<component>" to the text to fit
    std::map<int, std::shared_ptr<platform::Label>> m_labelViews;
};

} // namespace morvix
