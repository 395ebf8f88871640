#pragma once
// An event-driven XML parser over bytes, for callers of the XML response serializer.

#include "platform/foundation/Error.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class XMLParser;

/// Receives the events of one parse, in document order, on the parsing thread.
class XMLParserDelegate {
public:
    virtual ~XMLParserDelegate() = default;
    virtual void didStartElement(XMLParser&, const std::string& name, const std::map<std::string, std::string>& attributes)
    {
        (void)name;
        (void)attributes;
    }
    virtual void didEndElement(XMLParser&, const std::string& name) { (void)name; }
    virtual void foundCharacters(XMLParser&, const std::string& text) { (void)text; }
    virtual void parseErrorOccurred(XMLParser&, const platform::Error& error) { (void)error; }
};

/// Parses a body once, when asked, reporting to a delegate (libxml2's SAX interface). The
/// body is untrusted: the parser never touches the network, never loads external entities or
/// DTDs, never expands entities the document declares itself (only the five predefined ones
/// and character references), and keeps libxml2's nesting and size limits. Made on any
/// thread; `parse` runs on the calling thread and must not be called twice at once.
class XMLParser final {
public:
    explicit XMLParser(std::string data);
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;

    /// The delegate is held weakly; without one, `parse` only checks well-formedness.
    void setDelegate(std::weak_ptr<XMLParserDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Parses the whole body. True when the document is well formed; false after the first
    /// error, which the delegate has been told and `parserError` gives.
    bool parse();
    const std::optional<platform::Error>& parserError() const { return m_error; }
    const std::string& data() const { return m_data; }

    /// The error domain of parse errors; the codes are libxml2's.
    static constexpr const char* kErrorDomain = "NSXMLParserErrorDomain";

private:
    friend struct XMLParserCallbacks;

    std::string m_data;
    std::weak_ptr<XMLParserDelegate> m_delegate;
    std::shared_ptr<XMLParserDelegate> m_activeDelegate; // the delegate locked for one parse
    std::optional<platform::Error> m_error;
};

} // namespace morvix
