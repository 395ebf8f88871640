#pragma once
// The drawing context of a canvas: an offscreen bitmap drawn by operation lists.

#include "core/objects/RemoteClass.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Size.h"
#include "widgets/containers/GCLinearGradient.h"
#include "widgets/containers/GCPropertiesStack.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvix::platform {
class BitmapContext;
class GraphicsContext;
class Image;
}

namespace morvix {

class GCDrawQueue;

/// "zub.widgets.GC": a bitmap at the screen's scale, sized by the call "init" and drawn by the
/// call "draw" with {"operations": [[name, arguments ...], ...]} in the canvas 2D vocabulary
/// ("moveTo", "fillStyle", "fillText", "save" ...). The canvas that is its parent shows the
/// bitmap (`applyTo`) and is told after each "draw" (`Canvas::contentChanged`).
///
/// Operation lists:
///  1. Names are case-sensitive; an unknown name or an empty element is skipped.
///  2. A missing argument, a non-number (booleans count as numbers) or non-finite number where a
///     number is wanted, a "drawImage" of 5 to 9 elements, an element that is not a list or a
///     name that is not a string throws "Incorrect Parameter": the rest of the list is not run,
///     the parent is not told, and what was drawn before stays.
///  3. Before any "init", or after an "init" whose size makes no bitmap, operations change the
///     drawing-state records, gradient and font and draw nothing.
///  4. The top record is the truth for colours, line width, cap and join: "beginPath" and every
///     fill or stroke that keeps the path apply it to the bitmap's context again.
///  5. A "scale", "translate" or "rotate" that leaves the transform degenerate or beyond what
///     can be drawn (see `platform::GraphicsContext`, rule 6) draws nothing until the "restore"
///     of its "save"; what follows that restore draws as usual.
///  6. "addColorStop" with an index outside 0 to the stop count, or beyond
///     `GCLinearGradient::kMaximumStopCount` stops, throws "Incorrect Parameter"; colour
///     components are numbers, booleans among them.
///  7. What a peer may make its drawing contexts hold is bounded per session
///     (`platform::SessionBudget`): an "init" whose bitmap would take the pixels of the
///     session's bitmaps past `kMaximumBitmapPixels`, and a "save" past
///     `GCPropertiesStack::kMaximumDepth` states in one context or `kMaximumSavedStates` in the
///     session, throw "Incorrect Parameter" and change nothing. A context gives its share back
///     when its bitmap is replaced and when it goes.
///  8. A list that names a picture from the network ("drawImage" of a path that resolves to an
///     http or https URL) runs once its pictures have arrived, and later lists wait behind it
///     (see `GCDrawQueue`): the main thread never waits for a server. A picture that fails, or
///     is not in within `MorvixHTTPClient::kPictureDeadline`, draws nothing. Each picture is
///     read and decoded once per list, however many operations name it. A list that waited
///     and fails as rule 2 says is logged to the session instead of throwing. An "init" first
///     runs the lists that wait, without the pictures still on their way, since it wipes what
///     they draw.
///
/// Coordinates are points with y growing downward; arcs with the anticlockwise flag run through
/// decreasing angles. Main thread only; the bitmap is guarded by a monitor held over a whole
/// "draw" and by `applyTo`.
class GC : public RemoteClass<GC> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.GC";
    /// The largest radius of an arc, in bitmap pixels: cairo spends minutes on larger ones.
    static constexpr double kMaximumArcRadius = 1e7;

    GC(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~GC() override;

    /// "init": a fresh transparent bitmap of "width" by "height" points, the colours, text
    /// placement and font. The record stack and gradient stay. The parent canvas is told that
    /// its intrinsic size changed.
    void initialize(const platform::Value* properties);
    /// "draw": runs the "operations" list (see the class comment), then tells the parent canvas;
    /// or keeps it until the pictures it names from the network have arrived (rule 8).
    void draw(const platform::Value* properties);
    /// Clears (0, 0, size) of `context` and draws the bitmap into it.
    void applyTo(platform::GraphicsContext& context);

    /// The "init" size in points; zero without a bitmap.
    platform::Size size() const;
    GCPropertiesStack& propertiesStack() { return m_propertiesStack; }
    /// The screen's scale when the object was made.
    double scale() const { return m_scale; }
    /// A copy of the bitmap's pixels; null without a bitmap.
    std::shared_ptr<platform::Image> image() const;

private:
    using Operation = void (GC::*)(const platform::Value&);
    static const std::unordered_map<std::string, Operation>& operations();
    /// "init" in its turn: after the lists that wait for pictures.
    void initializeAfterWaitingLists(const platform::Value* properties);
    GCDrawQueue& drawQueue();
    /// Runs one operation list under the monitor, then tells the parent canvas.
    void runOperations(const platform::Value& operations);
    void drawOperation(const platform::Value& operation);
    platform::GraphicsContext* context() const;
    const std::shared_ptr<GCProperties>& top() const { return m_propertiesStack.peek(); }

    // Arguments by position; each throws "Incorrect Parameter" naming the operation and the
    // position when the argument is missing or of the wrong kind.
    static const platform::Value& argument(const platform::Value& operation, std::size_t index);
    static float number(const platform::Value& operation, std::size_t index);
    static bool flag(const platform::Value& operation, std::size_t index);
    static std::string text(const platform::Value& operation, std::size_t index);
    [[noreturn]] static void fail(const platform::Value& operation, std::size_t index, std::string_view why);

    void keepPathWhileExecuting(const std::function<void(platform::GraphicsContext&)>& draw);
    void checkArcRadius(const platform::Value& operation, double radius) const;
    void setColor(const platform::Value& value, platform::Color& color, std::string_view name);

    void beginPath(const platform::Value&);
    void closePath(const platform::Value&);
    void lineWidth(const platform::Value&);
    void lineCap(const platform::Value&);
    void lineJoin(const platform::Value&);
    void moveTo(const platform::Value&);
    void lineTo(const platform::Value&);
    void createLinearGradient(const platform::Value&);
    void addColorStop(const platform::Value&);
    void fillStyle(const platform::Value&);
    void strokeStyle(const platform::Value&);
    void ellipse(const platform::Value&);
    void arc(const platform::Value&);
    void quadraticCurveTo(const platform::Value&);
    void bezierCurveTo(const platform::Value&);
    void rect(const platform::Value&);
    void translate(const platform::Value&);
    void rotate(const platform::Value&);
    void scale(const platform::Value&);
    void clearRect(const platform::Value&);
    void fill(const platform::Value&);
    void globalAlpha(const platform::Value&);
    void stroke(const platform::Value&);
    void drawImage(const platform::Value&);
    void font(const platform::Value&);
    void drawText(const platform::Value&);
    void textBaseline(const platform::Value&);
    void textAlign(const platform::Value&);
    void save(const platform::Value&);
    void restore(const platform::Value&);

    const double m_scale;
    // The monitor: guards m_bitmap's pixels over a whole operation list and while they are shown.
    mutable std::recursive_mutex m_monitor;
    std::unique_ptr<platform::BitmapContext> m_bitmap;
    platform::Size m_size;
    GCPropertiesStack m_propertiesStack;
    std::optional<GCLinearGradient> m_linearGradient;
    std::optional<platform::Font> m_font;
    // What this context holds of the session's budget: its bitmap's pixels, its saved states.
    platform::SessionBudget::Share m_bitmapPixels;
    platform::SessionBudget::Share m_savedStates;
    std::shared_ptr<GCDrawQueue> m_drawQueue; // made on the first "draw"
};

} // namespace morvix
