#pragma once
// The base response serializer: status and content-type validation.

#include "networking/NetURLResponseSerialization.h"
#include "platform/foundation/KeyedCoding.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace morvix {

/// Validates a response's status code (200 to 299 by default) and, when acceptable content
/// types are set, its MIME type, and otherwise hands the body on unchanged (as `std::string`).
/// The default serializer of every HTTP request operation and the base of the decoding ones.
///
/// Configure a serializer before handing it to operations: it is then called concurrently on
/// the processing queue and must not change. Any thread.
class NetHTTPResponseSerializer : public NetURLResponseSerialization, public platform::KeyedCoding {
public:
    /// A serializer with the defaults: UTF-8, status codes 200 to 299, any content type.
    static std::shared_ptr<NetHTTPResponseSerializer> serializer();
    virtual ~NetHTTPResponseSerializer() = default;

    /// A new serializer of the same class. The base copies the two validation sets; each
    /// subclass says what its copy carries.
    virtual std::shared_ptr<NetHTTPResponseSerializer> copy() const;

    // Archiving: "acceptableStatusCodes" and "acceptableContentTypes" (each left out when any
    // value is acceptable); decoding starts from a serializer with the class's defaults.
    static constexpr const char* kArchiveClassName = "NetHTTPResponseSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    /// Reads what `encodeWithCoder` wrote into this serializer; a refused value sets the
    /// unarchiver's error (the serializer is then not handed out).
    virtual void decodeWithCoder(platform::KeyedUnarchiver& coder);

    /// The text encoding (an IANA character-set name) used where the response names none.
    const std::string& stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(std::string encoding) { m_stringEncoding = std::move(encoding); }

    /// Nothing means every status code is acceptable.
    const std::optional<std::set<int>>& acceptableStatusCodes() const { return m_acceptableStatusCodes; }
    void setAcceptableStatusCodes(std::optional<std::set<int>> codes) { m_acceptableStatusCodes = std::move(codes); }
    /// Nothing means every content type is acceptable. MIME types are compared as the response
    /// gives them (lower case, without parameters).
    const std::optional<std::set<std::string>>& acceptableContentTypes() const { return m_acceptableContentTypes; }
    void setAcceptableContentTypes(std::optional<std::set<std::string>> types) { m_acceptableContentTypes = std::move(types); }

    /// True when the response is acceptable. A missing or non-HTTP response is always
    /// acceptable. An unacceptable content type makes the response invalid; it is reported
    /// (code -1016) only when there is a body of at least one byte and the response has a URL.
    /// An unacceptable status code is reported (code -1011, with a content-type error chained
    /// under it) only when the response has a URL, and otherwise passes. On false, `error`
    /// (when given) receives the error, or nothing when none was made.
    bool validateResponse(const std::shared_ptr<const platform::URLResponse>& response, const std::string* data,
        std::optional<platform::Error>* error) const;

    /// Validates, then returns the body unchanged (a `std::string`, empty `std::any` without a
    /// body) whatever the verdict; `error` carries the validation error.
    std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const override;

protected:
    NetHTTPResponseSerializer();
    void copyValidationSetsTo(NetHTTPResponseSerializer& other) const;

    /// The rule every decoding serializer applies first: decode when the response is valid, or
    /// when it is invalid only for its status code and an error out-parameter was given. A
    /// content-type rejection, or any invalid response without an out-parameter, stops decoding.
    bool shouldDecode(const std::shared_ptr<const platform::URLResponse>& response, const std::string* data,
        std::optional<platform::Error>* error) const;

private:
    std::string m_stringEncoding = "UTF-8";
    std::optional<std::set<int>> m_acceptableStatusCodes;
    std::optional<std::set<std::string>> m_acceptableContentTypes;
};

} // namespace morvix
