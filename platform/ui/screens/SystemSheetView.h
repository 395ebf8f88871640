#pragma once
// What the headless device shows for one of its system sheets (picture picker, composers).

#include "platform/ui/View.h"

#include <string>
#include <vector>

namespace morvix::platform {

/// The face of a system sheet the headless device cannot really show (the picture picker, the
/// mail, message and social composers): a titled card listing what the sheet was given, so that
/// a person looking at a rendered window sees what the library asked for. Main thread.
class SystemSheetView final : public View {
public:
    static std::shared_ptr<SystemSheetView> create(const Rect& frame = {});

    const std::string& title() const { return m_title; }
    void setTitle(std::string title);
    /// One line of text each, below the title.
    const std::vector<std::string>& lines() const { return m_lines; }
    void setLines(std::vector<std::string> lines);

    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

private:
    explicit SystemSheetView(const Rect& frame);

    std::string m_title;
    std::vector<std::string> m_lines;
};

} // namespace morvix::platform
