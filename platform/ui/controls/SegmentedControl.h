#pragma once
// A row of titled segments, one of which may be selected.

#include "platform/ui/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

enum class SegmentedControlStyle { Plain = 0, Bordered = 1, Bar = 2, Bezeled = 7 };

/// Titled segments, of equal width unless they take widths by content, 29 points high. `selectedSegmentIndex` is -1 while none is
/// selected. A person's tap on a segment other than the selected one selects it and sends
/// `ValueChanged`; changes from code send nothing. Segments change without animation. Drawn as
/// an outlined row in the tint colour (the platform's by default) with the selected segment
/// filled. Main thread only.
class SegmentedControl : public Control {
public:
    static constexpr double kHeight = 29;
    static constexpr int kNoSegment = -1;

    static std::shared_ptr<SegmentedControl> create(const Rect& frame = {});
    const char* className() const override { return "SegmentedControl"; }

    int numberOfSegments() const { return int(m_titles.size()); }
    void removeAllSegments();
    /// Inserts before `index`, clamped to the segments there are; a selection moves with its segment.
    void insertSegmentWithTitle(std::string title, int index, Animated animated = Animated::No);
    std::string titleForSegmentAtIndex(int index) const;
    int selectedSegmentIndex() const { return m_selected; }
    /// An index outside the segments selects none.
    void setSelectedSegmentIndex(int index);
    /// Recorded only: the headless control draws every style alike.
    SegmentedControlStyle controlStyle() const { return m_style; }
    void setControlStyle(SegmentedControlStyle style) { m_style = style; }
    /// Whether segments take widths by their titles rather than equal widths (the default).
    /// By content, each segment needs its title's width plus `kContentPadding` on either side;
    /// room left over is shared equally, and a row too narrow for the titles shrinks every
    /// segment in proportion.
    bool apportionsSegmentWidthsByContent() const { return m_widthsByContent; }
    void setApportionsSegmentWidthsByContent(bool byContent);
    static constexpr double kContentPadding = 8;
    /// Each segment's frame in bounds coordinates, left to right.
    std::vector<Rect> segmentFrames() const;

    /// The segment under `point` (bounds coordinates); -1 outside or without segments.
    int segmentAtPoint(Point point) const;

    Size intrinsicContentSize() const override;
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit SegmentedControl(const Rect& frame);
    void endedTracking(const Touch& touch, bool inside) override;

private:
    std::vector<std::string> m_titles;
    int m_selected = kNoSegment;
    bool m_widthsByContent = false;
    SegmentedControlStyle m_style = SegmentedControlStyle::Plain;
};

} // namespace morvix::platform
