#include "widgets/text/Mnemonics.h"

namespace morvix {

std::string Mnemonics::removeMnemonics(std::string text)
{
    bool markerRemoved = false;
    std::size_t position = 0;
    while ((position = text.find('&', position)) != std::string::npos) {
        if (position + 1 == text.size())
            break;
        if (text[position + 1] == '&') {
            text.erase(position, 1);
            ++position; // past the literal "&" that stays
            continue;
        }
        if (!markerRemoved) {
            text.erase(position, 1);
            markerRemoved = true;
        }
        ++position;
    }
    return text;
}

} // namespace morvix
