#pragma once
// A font as the wire describes it: family names, size and two traits.

#include <string>
#include <vector>

namespace morvix::platform {

/// The plain description of a font: family names in order of preference, a point size and the
/// bold and italic traits. It names a font without resolving it; the font system turns it into
/// a real font. Plain value type, any thread.
struct FontDescriptor {
    std::vector<std::string> familyNames;
    double size = 0;
    bool bold = false;
    bool italic = false;

    bool operator==(const FontDescriptor&) const = default;

    /// The first family name, or the empty text when none is given.
    std::string familyName() const;
};

} // namespace morvix::platform
