#pragma once
// Hands XML bodies to a parser.

#include "networking/NetHTTPResponseSerializer.h"
#include "networking/XMLParser.h"

namespace morvix {

/// Validates like its base (content types "application/xml" and "text/xml") and returns a
/// `std::shared_ptr<XMLParser>` on the body, not yet run: the caller sets its delegate and
/// parses. Any thread; immutable while in use.
class NetXMLParserResponseSerializer : public NetHTTPResponseSerializer {
public:
    static std::shared_ptr<NetXMLParserResponseSerializer> serializer();

    /// Copies the two validation sets, as the base does.
    std::shared_ptr<NetHTTPResponseSerializer> copy() const override;

    /// Archiving: the base class's keys.
    static constexpr const char* kArchiveClassName = "NetXMLParserResponseSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }

    std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const override;

protected:
    NetXMLParserResponseSerializer();
};

} // namespace morvix
