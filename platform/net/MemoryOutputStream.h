#pragma once
// An output stream that collects the bytes in memory.

#include "platform/net/OutputStream.h"

#include <memory>

namespace morvix::platform {

/// Collects what is written; `dataWrittenToMemory` gives it back. Subclasses may override
/// `write` to look at the bytes as they come (and call this one to keep them). One thread at a
/// time.
class MemoryOutputStream : public OutputStream {
public:
    static std::shared_ptr<MemoryOutputStream> create() { return std::make_shared<MemoryOutputStream>(); }

    long write(const char* bytes, std::size_t length) override;
    std::optional<std::string> dataWrittenToMemory() const override { return m_data; }
    bool discardContents() override;

private:
    std::string m_data;
};

} // namespace morvix::platform
