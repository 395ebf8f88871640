#pragma once
// Builds HTTP requests from a method, a URL string and parameters.

#include "networking/NetURLRequestSerialization.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/net/StringEncoding.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace morvix {

class NetMultipartFormData;

/// Turns a method, a URL string and a parameter dictionary into a request: the serializer's
/// default header fields are added (headers already on a request win), the request settings
/// that were set on the serializer are copied onto it, and the parameters become a query
/// string appended to the URL (GET, HEAD and DELETE by default) or a form-encoded body.
///
/// Defaults: UTF-8; "Accept-Language" from the device's preferred languages (at most six,
/// q=1 down to q=0.5) and "User-Agent" from the application and device facts.
///
/// Usage:
///     auto serializer = NetHTTPRequestSerializer::serializer();
///     auto request = serializer->requestWithMethod("GET", "http://h/search", Value { { "q", "a b" } }, nullptr);
///     // http://h/search?q=a%20b
///
/// Configure a serializer, then use it from one thread at a time.
class NetHTTPRequestSerializer : public NetURLRequestSerialization, public platform::KeyedCoding {
public:
    /// Answers the query string for a request and its parameters, or nothing with an error.
    using QueryStringSerialization = std::function<std::optional<std::string>(const platform::URLRequest& request,
        const platform::Value& parameters, std::optional<platform::Error>* error)>;

    static std::shared_ptr<NetHTTPRequestSerializer> serializer();
    ~NetHTTPRequestSerializer() override = default;
    NetHTTPRequestSerializer(const NetHTTPRequestSerializer&) = delete;
    NetHTTPRequestSerializer& operator=(const NetHTTPRequestSerializer&) = delete;

    /// A new serializer of the same class with the defaults, then this one's default headers,
    /// query-string style and callback. The string encoding, the URI-encoding methods and the
    /// request settings are not carried.
    virtual std::shared_ptr<NetHTTPRequestSerializer> copy() const;

    // Archiving: the default header fields ("mutableHTTPRequestHeaders") and the query-string
    // style ("queryStringSerializationStyle"); decoding starts from a serializer with the
    // defaults. What copying leaves out is not archived either.
    static constexpr const char* kArchiveClassName = "NetHTTPRequestSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    /// Reads what `encodeWithCoder` wrote into this serializer; a refused value sets the
    /// unarchiver's error (the serializer is then not handed out).
    virtual void decodeWithCoder(platform::KeyedUnarchiver& coder);

    /// The encoding of a form body; UTF-8 (4) unless set.
    platform::StringEncoding stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(platform::StringEncoding encoding) { m_stringEncoding = encoding; }

    // The six request settings. Each is copied onto the requests built after it has been set
    // once, even to the value it already had; until then requests keep their own defaults.
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    void setAllowsCellularAccess(bool allows);
    int cachePolicy() const { return m_cachePolicy; }
    void setCachePolicy(int policy);
    bool HTTPShouldHandleCookies() const { return m_shouldHandleCookies; }
    void setHTTPShouldHandleCookies(bool handle);
    bool HTTPShouldUsePipelining() const { return m_shouldUsePipelining; }
    void setHTTPShouldUsePipelining(bool use);
    int networkServiceType() const { return m_networkServiceType; }
    void setNetworkServiceType(int type);
    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds);

    /// The default header fields. Names match exactly, case included.
    const std::map<std::string, std::string>& HTTPRequestHeaders() const { return m_headers; }
    /// Stores a default header; nothing removes the field.
    void setValueForHTTPHeaderField(std::optional<std::string> value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    /// "Authorization: Basic <base64 of user:password>".
    void setAuthorizationHeaderFieldWithUsername(const std::string& username, const std::string& password);
    /// "Authorization: Token token="<token>"".
    void setAuthorizationHeaderFieldWithToken(const std::string& token);
    void clearAuthorizationHeader();

    /// Methods whose parameters go into the URL; {"GET", "HEAD", "DELETE"} unless set.
    const std::set<std::string>& HTTPMethodsEncodingParametersInURI() const { return m_methodsEncodingParametersInURI; }
    void setHTTPMethodsEncodingParametersInURI(std::set<std::string> methods) { m_methodsEncodingParametersInURI = std::move(methods); }

    /// Only style 0 is defined. Setting a style removes the callback.
    unsigned long queryStringSerializationStyle() const { return m_queryStringStyle; }
    void setQueryStringSerializationWithStyle(unsigned long style);
    /// The callback replaces the built-in query string; the style is left as it is.
    void setQueryStringSerializationWithBlock(QueryStringSerialization block) { m_queryStringSerialization = std::move(block); }

    /// A request for `URLString` (a request without URL when the text does not parse) with
    /// `method`, the settings that were set, the default headers and the parameters; nothing
    /// only when the query-string callback failed (its error in `error` when given).
    std::optional<platform::URLRequest> requestWithMethod(const std::string& method, const std::string& URLString,
        const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const;

    /// A copy of `request` with the default headers it lacks and, when `parameters` are given,
    /// their query string appended to its URL ("?" or "&") or set as its body (with
    /// "Content-Type: application/x-www-form-urlencoded" unless it has a content type).
    /// Nothing, with the header error (`platform::HTTPHeaderErrorDomain`) in `error`, when a
    /// default header the request lacks cannot be sent (a CR, LF or NUL in its value, a name
    /// that is no HTTP token): the request never goes out without it.
    std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
        const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const override;

    /// Builds a multipart form for a request: `method` and `URLString` as
    /// `requestWithMethod` makes them, then a field for each parameter pair (in query-string
    /// order and bracket form; a null gives an empty field, bytes stay bytes, a number its
    /// text; texts in `stringEncoding`), then the parts `constructingBody` appends. Without any
    /// part, the plain request. Nothing, with the error in `error`, when a value has a character
    /// the string encoding cannot hold (or the encoding is not known).
    std::optional<platform::URLRequest> multipartFormRequestWithMethod(const std::string& method, const std::string& URLString,
        const std::optional<platform::Value>& parameters, const std::function<void(NetMultipartFormData&)>& constructingBody,
        std::optional<platform::Error>* error) const;

    /// Copies the body stream of `request` into the file at `fileURL` (replaced) on the global
    /// queue, and answers at once the request without its body stream, for sending the file as
    /// body once `completionHandler` (called on the main queue, when given) reports no error.
    /// Every byte read is written, or the first read or write error is reported.
    static platform::URLRequest requestWithMultipartFormRequest(const platform::URLRequest& request, const platform::Url& fileURL,
        std::function<void(const std::optional<platform::Error>& error)> completionHandler);

protected:
    NetHTTPRequestSerializer();
    /// Makes a serializer of the concrete class with the defaults; `copy` fills it in.
    virtual std::shared_ptr<NetHTTPRequestSerializer> makeEmpty() const;
    /// Whether the parameters of `request` go into its URL (its upper-cased method is one of
    /// `HTTPMethodsEncodingParametersInURI`).
    bool encodesParametersInURI(const platform::URLRequest& request) const;
    /// Writes the answer of a body writer: nothing, with the reason in `error`, when it failed.
    using BodyWriter = std::function<std::optional<std::string>(const platform::Value& parameters, std::optional<platform::Error>* error)>;
    /// For subclasses that write their own body: what this class answers when the parameters go
    /// into the URL; otherwise a copy with the default headers the request lacks and, with
    /// parameters, the body `write` makes and "Content-Type" `contentType` unless the request
    /// has one. Nothing when `write` fails.
    std::optional<platform::URLRequest> requestWithWrittenBody(const platform::URLRequest& request,
        const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error, const std::string& contentType,
        const BodyWriter& write) const;

private:
    enum class Setting { AllowsCellularAccess, CachePolicy, ShouldHandleCookies, ShouldUsePipelining, NetworkServiceType, TimeoutInterval };

    void applySettings(platform::URLRequest& request) const;
    std::optional<std::string> queryString(const platform::URLRequest& request, const platform::Value& parameters,
        std::optional<platform::Error>* error) const;

    platform::StringEncoding m_stringEncoding = platform::kUTF8StringEncoding;
    bool m_allowsCellularAccess = false;
    int m_cachePolicy = 0;
    bool m_shouldHandleCookies = false;
    bool m_shouldUsePipelining = false;
    int m_networkServiceType = 0;
    double m_timeoutInterval = 0;
    std::set<Setting> m_setSettings;
    std::map<std::string, std::string> m_headers;
    std::set<std::string> m_methodsEncodingParametersInURI { "GET", "HEAD", "DELETE" };
    unsigned long m_queryStringStyle = 0;
    QueryStringSerialization m_queryStringSerialization;
};

/// The "Accept-Language" value for `languages`: "en;q=1, de-DE;q=0.9", at most six entries.
std::string NetAcceptLanguageHeaderValue(const std::vector<std::string>& languages);

/// The "User-Agent" value from the application's bundle facts and the device's identity:
/// "<executable>/<version> (<model>; iOS <system version>; Scale/<scale>)", transliterated to
/// ASCII when it holds other characters.
std::string NetDefaultUserAgentHeaderValue();

} // namespace morvix
