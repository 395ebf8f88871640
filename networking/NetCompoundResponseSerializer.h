#pragma once
// Tries several response serializers in turn.

#include "networking/NetHTTPResponseSerializer.h"

#include <vector>

namespace morvix {

/// Asks its members in order and returns the first response object one of them makes; when
/// none does, behaves as the base serializer with its own (default) validation sets. Members
/// that are not `NetHTTPResponseSerializer`s are skipped. Any thread; immutable while in use.
class NetCompoundResponseSerializer : public NetHTTPResponseSerializer {
public:
    using Members = std::vector<std::shared_ptr<const NetURLResponseSerialization>>;

    static std::shared_ptr<NetCompoundResponseSerializer> compoundSerializerWithResponseSerializers(Members serializers);

    /// Carries the same members.
    std::shared_ptr<NetHTTPResponseSerializer> copy() const override;

    /// Archiving: the base class's keys and "responseSerializers", the members that are HTTP
    /// response serializers (others cannot be archived and are left out).
    static constexpr const char* kArchiveClassName = "NetCompoundResponseSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

    const Members& responseSerializers() const { return m_responseSerializers; }

    /// The winning member's error is reported with the caller's earlier error chained under it.
    std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const override;

protected:
    NetCompoundResponseSerializer() = default;

private:
    Members m_responseSerializers;
};

} // namespace morvix
