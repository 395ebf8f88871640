#include "widgets/text/MarkupPurger.h"

#include "widgets/text/MarkupParser.h"

namespace morvix {

std::string MarkupPurger::purge(std::string_view markup)
{
    m_string.clear();
    MarkupParser::ReaderHandlers handlers;
    handlers.characters = [this](std::string_view characters) { m_string.append(characters); };
    if (!MarkupParser::read(markup, handlers))
        return std::string(markup);
    return std::move(m_string);
}

} // namespace morvix
