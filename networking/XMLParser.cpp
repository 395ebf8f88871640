#include "networking/XMLParser.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <cstring>

namespace morvix {

struct XMLParserCallbacks {
    static XMLParser& parser(void* context) { return *static_cast<XMLParser*>(context); }

    static std::string qualifiedName(const xmlChar* localName, const xmlChar* prefix)
    {
        std::string name = prefix ? reinterpret_cast<const char*>(prefix) + std::string(":") : std::string();
        return name + reinterpret_cast<const char*>(localName);
    }

    // Attributes come as (local name, prefix, URI, value start, value end) quintuples.
    static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int,
        const xmlChar**, int attributeCount, int, const xmlChar** attributes)
    {
        XMLParser& self = parser(context);
        if (!self.m_activeDelegate)
            return;
        std::map<std::string, std::string> map;
        for (int index = 0; index < attributeCount; ++index) {
            const xmlChar** attribute = attributes + index * 5;
            std::string value(reinterpret_cast<const char*>(attribute[3]), reinterpret_cast<const char*>(attribute[4]));
            map[qualifiedName(attribute[0], attribute[1])] = std::move(value);
        }
        self.m_activeDelegate->didStartElement(self, qualifiedName(localName, prefix), map);
    }

    static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*)
    {
        XMLParser& self = parser(context);
        if (self.m_activeDelegate)
            self.m_activeDelegate->didEndElement(self, qualifiedName(localName, prefix));
    }

    static void ignoreEntityDeclaration(void*, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) { }

    static void characters(void* context, const xmlChar* text, int length)
    {
        XMLParser& self = parser(context);
        if (self.m_activeDelegate)
            self.m_activeDelegate->foundCharacters(self, std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    }

    // Declared entities are neither stored nor looked up, so a reference to one is never
    // expanded (no exponential growth from nested entities) and is reported as undefined.
    static xmlEntityPtr getEntity(void*, const xmlChar* name)
    {
        return xmlGetPredefinedEntity(name);
    }
};

XMLParser::XMLParser(std::string data)
    : m_data(std::move(data))
{
}

bool XMLParser::parse()
{
    m_error.reset();
    m_activeDelegate = m_delegate.lock();
    xmlSAXHandler handler {};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = XMLParserCallbacks::startElement;
    handler.endElementNs = XMLParserCallbacks::endElement;
    handler.entityDecl = XMLParserCallbacks::ignoreEntityDeclaration;
    handler.characters = XMLParserCallbacks::characters;
    handler.cdataBlock = XMLParserCallbacks::characters;
    handler.getEntity = XMLParserCallbacks::getEntity;
    // The callbacks get the parser itself as user data. libxml2 treats user data equal to its
    // context as a request for its compatibility mode, which stores and expands declared
    // entities behind the handler's back.
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
    bool wellFormed = false;
    if (context) {
        xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
        const char* bytes = m_data.data();
        std::size_t left = m_data.size();
        int result = 0;
        // Fed in pieces, since the push interface takes an int length.
        while (result == 0 && left > INT_MAX / 2) {
            result = xmlParseChunk(context, bytes, INT_MAX / 2, 0);
            bytes += INT_MAX / 2;
            left -= INT_MAX / 2;
        }
        if (result == 0)
            result = xmlParseChunk(context, bytes, static_cast<int>(left), 1);
        wellFormed = result == 0 && context->wellFormed;
        if (!wellFormed) {
            const xmlError* last = xmlCtxtGetLastError(context);
            std::string message = last && last->message ? last->message : "malformed document";
            while (!message.empty() && message.back() == '\n')
                message.pop_back();
            m_error = platform::Error(kErrorDomain, last ? last->code : XML_ERR_DOCUMENT_END, message);
        }
        // A document type declaration makes libxml2 build a document for its internal subset
        // even without tree callbacks; it is ours to free.
        if (context->myDoc)
            xmlFreeDoc(context->myDoc);
        xmlFreeParserCtxt(context);
    } else {
        m_error = platform::Error(kErrorDomain, XML_ERR_NO_MEMORY, "cannot create parser");
    }
    auto delegate = std::move(m_activeDelegate);
    m_activeDelegate.reset();
    if (m_error && delegate)
        delegate->parseErrorOccurred(*this, *m_error);
    return wellFormed;
}

} // namespace morvix
