#include "platform/ui/rendering/TreeDump.h"

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <unordered_map>

namespace morvix::platform {

namespace {

std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", std::fabs(value) < 1e-9 ? 0.0 : value);
    return buffer;
}

std::string hex(const Color& color)
{
    auto byte = [](float component) { return static_cast<unsigned>(std::lround(std::clamp(component, 0.0f, 1.0f) * 255)); };
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X%02X", byte(color.red), byte(color.green), byte(color.blue), byte(color.alpha));
    return buffer;
}

} // namespace

std::string dumpTree(const View& root)
{
    std::unordered_map<const View*, std::string> names;
    std::function<void(const View&, const std::string&)> name = [&](const View& view, const std::string& path) {
        names[&view] = view.debugName().empty() ? std::string(view.className()) + "[" + path + "]" : view.debugName();
        for (std::size_t i = 0; i < view.subviews().size(); ++i)
            name(*view.subviews()[i], path.empty() ? std::to_string(i) : path + "." + std::to_string(i));
    };
    name(root, "");
    auto nameOf = [&](const View* view) -> std::string {
        if (!view)
            return "nil";
        auto found = names.find(view);
        return found == names.end() ? std::string(view->className()) + "(outside)" : found->second;
    };

    std::string out;
    std::function<void(const View&, int)> dump = [&](const View& view, int depth) {
        std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
        Rect frame = view.frame();
        out += indent + view.className();
        if (!view.debugName().empty())
            out += " \"" + view.debugName() + "\"";
        out += " frame=(" + number(frame.x()) + ", " + number(frame.y()) + ", " + number(frame.width()) + ", " + number(frame.height()) + ")";
        if (view.isHidden())
            out += " hidden";
        if (view.alpha() != 1)
            out += " alpha=" + number(view.alpha());
        if (auto color = view.backgroundColor())
            out += " bg=" + hex(*color);
        if (view.backgroundPatternImage())
            out += " bg=pattern";
        if (!view.transform().isIdentity()) {
            auto t = view.transform();
            out += " transform=[" + number(t.a) + " " + number(t.b) + " " + number(t.c) + " " + number(t.d) + " " + number(t.tx) + " " + number(t.ty) + "]";
        }
        if (view.layer().cornerRadius() != 0)
            out += " radius=" + number(view.layer().cornerRadius());
        if (view.layer().borderWidth() != 0)
            out += " border=" + number(view.layer().borderWidth()) + " " + hex(view.layer().borderColor());
        if (view.clipsToBounds())
            out += " clips";
        out += "\n";
        for (const auto& recognizer : view.gestureRecognizers())
            out += indent + "  + " + recognizer->className() + " " + stateName(recognizer->state()) + "\n";
        for (const auto& constraint : view.constraints())
            out += indent + "  = " + constraint->describe(nameOf) + "\n";
        for (const auto& subview : view.subviews())
            dump(*subview, depth + 1);
    };
    dump(root, 0);
    return out;
}

std::shared_ptr<View> findView(View& root, const std::string& name)
{
    if (root.debugName() == name)
        return std::static_pointer_cast<View>(root.shared_from_this());
    for (const auto& subview : root.subviews()) {
        if (auto found = findView(*subview, name))
            return found;
    }
    return nullptr;
}

} // namespace morvix::platform
