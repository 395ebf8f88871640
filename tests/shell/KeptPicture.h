#pragma once
// Pictures of a test's screen kept for a person to look at.

#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace morvix::testing {

/// Writes `picture` as NAME.png into the folder MORVIX_RENDER_DIR names; nothing without it.
inline void keepPicture(const platform::Image& picture, const std::string& name)
{
    const char* folder = std::getenv("MORVIX_RENDER_DIR");
    if (!folder)
        return;
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(picture.writePNG((std::filesystem::path(folder) / (name + ".png")).string()));
}

} // namespace morvix::testing
