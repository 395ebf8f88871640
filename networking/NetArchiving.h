#pragma once
// Keyed archiving of the HTTP layer: the request and response values it archives, and how its
// classes make themselves decodable.

#include "networking/NetPropertyListReading.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

#include <functional>
#include <memory>

namespace morvix {

/// A request in an archive (class "URLRequest"): URL, method, header fields in order, body bytes
/// and the transfer settings. A body stream cannot be archived and is dropped. Decoding refuses
/// a URL that does not parse and header fields a request refuses (those that could split it).
class NetArchivedURLRequest final : public platform::KeyedCoding {
public:
    static constexpr const char* kArchiveClassName = "URLRequest";
    explicit NetArchivedURLRequest(platform::URLRequest request) : m_request(std::move(request)) { }

    const platform::URLRequest& request() const { return m_request; }
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    /// The request under the current object's keys, or null (with the unarchiver's error set).
    static std::shared_ptr<NetArchivedURLRequest> decode(platform::KeyedUnarchiver& coder);

private:
    platform::URLRequest m_request;
};

/// An HTTP response in an archive (class "HTTPURLResponse"): URL, status code and header fields.
class NetArchivedHTTPURLResponse final : public platform::KeyedCoding {
public:
    static constexpr const char* kArchiveClassName = "HTTPURLResponse";
    explicit NetArchivedHTTPURLResponse(std::shared_ptr<const platform::HTTPURLResponse> response) : m_response(std::move(response)) { }

    const std::shared_ptr<const platform::HTTPURLResponse>& response() const { return m_response; }
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<NetArchivedHTTPURLResponse> decode(platform::KeyedUnarchiver& coder);

private:
    std::shared_ptr<const platform::HTTPURLResponse> m_response;
};

/// Registers `T` (named by `T::kArchiveClassName`, a kind of `superclassName`, empty for none)
/// with the unarchiver: an archive of it decodes as what `make` answers from the archive, then
/// filled in by its `decodeWithCoder`. Called once per class, from a namespace-scope constant
/// of the class's own source file, so that every class a program links is decodable. Answers
/// true.
template<typename T>
bool NetRegisterArchiveClass(const char* superclassName, std::function<std::shared_ptr<T>(platform::KeyedUnarchiver&)> make)
{
    platform::KeyedUnarchiver::registerClass(T::kArchiveClassName, superclassName,
        [make = std::move(make)](platform::KeyedUnarchiver& coder) -> std::shared_ptr<platform::KeyedCoding> {
            auto object = make(coder);
            if (object)
                object->decodeWithCoder(coder);
            return object;
        });
    return true;
}

/// A non-negative integer under `key`; nothing, with the unarchiver's error set, otherwise.
std::optional<unsigned long> NetDecodeUnsigned(platform::KeyedUnarchiver& coder, const std::string& key);
/// One of the three property-list formats under `key` (the text format included, which writers
/// refuse when they write); nothing, with the unarchiver's error set, otherwise.
std::optional<NetPropertyListFormat> NetDecodePropertyListFormat(platform::KeyedUnarchiver& coder, const std::string& key);

/// Reads a header dictionary written with `encodeValue` (text values only) into `headers`;
/// false, with the unarchiver's error set, for anything else.
bool NetDecodeHeaderFields(platform::KeyedUnarchiver& coder, const std::string& key, platform::HTTPHeaders& headers);

} // namespace morvix
