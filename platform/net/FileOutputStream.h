#pragma once
// An output stream into a file.

#include "platform/net/OutputStream.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace morvix::platform {

enum class FileMode { Truncate, Append };

/// Writes into a file, opened (and created) by `open`. A failed open or write (a full disk, a
/// missing folder) sets the stream error in the POSIX domain with the errno code. One thread at
/// a time.
class FileOutputStream final : public OutputStream {
public:
    static std::shared_ptr<FileOutputStream> create(std::filesystem::path path, FileMode mode);
    FileOutputStream(std::filesystem::path path, FileMode mode) : m_path(std::move(path)), m_mode(mode) { }
    ~FileOutputStream() override;

    void open() override;
    void close() override;
    long write(const char* bytes, std::size_t length) override;
    bool discardContents() override;

    /// The offset the next write goes to.
    std::int64_t fileCurrentOffset() const { return m_offset; }
    const std::filesystem::path& path() const { return m_path; }

private:
    void failWithErrno(int code);

    std::filesystem::path m_path;
    FileMode m_mode;
    int m_fd = -1;
    std::int64_t m_offset = 0;
};

} // namespace morvix::platform
