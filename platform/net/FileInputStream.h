#pragma once
// An input stream over a file.

#include "platform/net/InputStream.h"

#include <filesystem>
#include <memory>

namespace morvix::platform {

/// Reads a file a buffer at a time; nothing is held in memory beyond the caller's buffer. `open`
/// opens the file (a failure sets `streamError` in the POSIX domain with the system's reason and
/// the error status), `read` answers the bytes read, 0 with the at-end status at the end, or -1
/// with the error. Closing or destroying the stream closes the file. One thread at a time.
class FileInputStream final : public InputStream {
public:
    static std::shared_ptr<FileInputStream> create(std::filesystem::path path) { return std::make_shared<FileInputStream>(std::move(path)); }
    explicit FileInputStream(std::filesystem::path path) : m_path(std::move(path)) { }
    ~FileInputStream() override;
    FileInputStream(const FileInputStream&) = delete;
    FileInputStream& operator=(const FileInputStream&) = delete;

    void open() override;
    void close() override;
    long read(char* buffer, std::size_t capacity) override;
    /// A new stream over the same file, read from its start.
    std::shared_ptr<InputStream> replay() const override { return create(m_path); }

    const std::filesystem::path& path() const { return m_path; }

private:
    void failWithErrno(int code);
    void closeFile();

    std::filesystem::path m_path;
    int m_fd = -1;
};

} // namespace morvix::platform
