#pragma once
// A stable text listing of a view tree, for golden comparisons in tests.

#include "platform/ui/Forward.h"

#include <memory>
#include <string>

namespace morvix::platform {

/// One line per view, indented by depth, children in subview order:
///   Class "debugName" frame=(x, y, w, h) [hidden] [alpha=a] [bg=#RRGGBBAA] [transform=[a b c d tx ty]]
///   [radius=r] [border=w #RRGGBBAA] [clips]
/// followed by one line per gesture recogniser ("+ Class state") and per installed constraint
/// ("= w3.left == w2.right + 8 @1000"). Views are named by their debug name, or by class and
/// index path from the root ("View[0.2]"). Numbers print with up to six significant digits.
std::string dumpTree(const View& root);

/// The first view of the tree (depth first, the root included) whose debug name is `name`.
std::shared_ptr<View> findView(View& root, const std::string& name);

} // namespace morvix::platform
