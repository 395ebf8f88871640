#pragma once
// A temporary folder of script files for the script peer's tests.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace morvix::testing {

/// A temporary folder of script files, removed with the object. Owned by the test; main thread.
class ScriptFolder {
public:
    ScriptFolder()
    {
        char pattern[] = "/tmp/morvix-js-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~ScriptFolder() { std::filesystem::remove_all(m_path); }
    ScriptFolder(const ScriptFolder&) = delete;
    ScriptFolder& operator=(const ScriptFolder&) = delete;

    /// Writes `text` to `name` (folders made as needed); returns the file's path.
    std::filesystem::path write(const std::string& name, const std::string& text) const
    {
        auto file = m_path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    const std::filesystem::path& path() const { return m_path; }
    /// "file://<folder>/", the base that relative paths resolve against.
    std::string url() const { return "file://" + m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};

} // namespace morvix::testing
