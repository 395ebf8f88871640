#pragma once
// Where the source tree is, for tests that run the samples or read files kept beside them.

#include <filesystem>

namespace morvix::testing {

/// The root of the source tree (the folder that holds tests/), found from this header's own
/// path, so that a test reads the same files wherever its own source file sits. Made absolute:
/// a compiler launcher may have given the header's path relative to the build folder, where
/// the tests run.
inline std::filesystem::path sourceRoot()
{
    return std::filesystem::absolute(std::filesystem::path(__FILE__)).parent_path().parent_path().parent_path();
}

} // namespace morvix::testing
