#include "widgets/text/MarkupParser.h"

#include "widgets/text/FontHelper.h"

#include <libxml/parser.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <mutex>

namespace morvix {

using platform::AttributedString;
using platform::TextAttributes;

namespace {

const MarkupParser::ReaderHandlers& handlersOf(void* context)
{
    return *static_cast<const MarkupParser::ReaderHandlers*>(context);
}

std::string qualifiedName(const xmlChar* localName, const xmlChar* prefix)
{
    std::string name = reinterpret_cast<const char*>(localName);
    if (!prefix)
        return name;
    return reinterpret_cast<const char*>(prefix) + (":" + name);
}

void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int, const xmlChar**,
    int, int, const xmlChar**)
{
    if (const auto& handler = handlersOf(context).startElement)
        handler(qualifiedName(localName, prefix));
}

void endElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*)
{
    if (const auto& handler = handlersOf(context).endElement)
        handler(qualifiedName(localName, prefix));
}

void characters(void* context, const xmlChar* text, int length)
{
    if (const auto& handler = handlersOf(context).characters)
        handler(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
}

void ignoreMessage(void*, const char*, ...) { }

xmlSAXHandler makeHandler()
{
    xmlSAXHandler handler {};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = startElement;
    handler.endElementNs = endElement;
    handler.characters = characters;
    // CDATA sections are not text of the markup; without this handler libxml2 would report
    // them as characters.
    handler.cdataBlock = [](void*, const xmlChar*, int) { };
    // Faults are reported by the result; nothing is printed.
    handler.serror = [](void*, xmlErrorPtr) { };
    handler.warning = ignoreMessage;
    handler.error = ignoreMessage;
    handler.fatalError = ignoreMessage;
    return handler;
}

std::string lowercased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

bool MarkupParser::read(std::string_view fragment, const ReaderHandlers& handlers)
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    std::string document = "<xml>" + std::string(fragment) + "</xml>";
    if (document.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    xmlSAXHandler handler = makeHandler();
    void* context = const_cast<ReaderHandlers*>(&handlers);
    return xmlSAXUserParseMemory(&handler, context, document.data(), static_cast<int>(document.size())) == 0;
}

MarkupParser::MarkupParser(platform::Font font, platform::Color color)
    : m_font(std::move(font))
    , m_color(color)
{
}

AttributedString MarkupParser::parse(std::string_view markup)
{
    m_attributesStack = { { .font = m_font }, { .foregroundColor = m_color } };
    m_string = {};
    m_buffer.clear();
    ReaderHandlers handlers {
        [this](std::string name) { didStartElement(std::move(name)); },
        [this](std::string name) { didEndElement(std::move(name)); },
        [this](std::string_view characters) { foundCharacters(characters); },
    };
    if (read(markup, handlers)) {
        flushBuffer();
    } else {
        // What was read before the fault is dropped: the peer's text is shown as it came.
        m_string = AttributedString(std::string(markup), { .font = m_font, .foregroundColor = m_color });
    }
    m_buffer.clear();
    removeLeadingSpaces(m_string);
    return std::move(m_string);
}

void MarkupParser::didStartElement(std::string name)
{
    flushBuffer();
    name = lowercased(std::move(name));
    if (name == "br") {
        m_buffer += "\n";
        return;
    }
    if (auto attributes = attributeForElement(name))
        m_attributesStack.push_back(std::move(*attributes));
}

void MarkupParser::didEndElement(std::string name)
{
    flushBuffer();
    auto attributes = attributeForElement(lowercased(std::move(name)));
    if (!attributes)
        return;
    auto found = std::find(m_attributesStack.rbegin(), m_attributesStack.rend(), *attributes);
    if (found != m_attributesStack.rend())
        m_attributesStack.erase(std::next(found).base());
}

std::optional<TextAttributes> MarkupParser::attributeForElement(const std::string& name) const
{
    if (name == "a")
        return TextAttributes { .link = std::string() };
    if (name == "del")
        return TextAttributes { .strikethroughStyle = 1 };
    if (name == "ins")
        return TextAttributes { .underlineStyle = 1 };
    if (name == "b" || name == "strong")
        return TextAttributes { .font = FontHelper::getFont({ m_font.familyName() }, m_font.pointSize(), true, false) };
    if (name == "i" || name == "em")
        return TextAttributes { .font = FontHelper::getFont({ m_font.familyName() }, m_font.pointSize(), false, true) };
    if (name == "big")
        return TextAttributes { .font = m_font.withSize(m_font.pointSize() * 1.25) };
    if (name == "small")
        return TextAttributes { .font = m_font.withSize(m_font.pointSize() * 0.75) };
    return std::nullopt;
}

void MarkupParser::flushBuffer()
{
    if (m_buffer.empty())
        return;
    m_string.append(m_buffer, currentAttributes());
    m_buffer.clear();
}

TextAttributes MarkupParser::currentAttributes() const
{
    TextAttributes merged;
    for (const auto& attributes : m_attributesStack)
        merged = merged.mergedWith(attributes);
    return merged;
}

void MarkupParser::removeLeadingSpaces(AttributedString& text)
{
    std::size_t count = 0;
    while (count < text.length() && text.string()[count] == ' ')
        ++count;
    text.erase(0, count);
}

} // namespace morvix
