#include "widgets/controls/MultiTextInput.h"

#include "core/objects/ClientContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Screen.h"
#include "widgets/controls/MorvixTextView.h"
#include "widgets/foundation/Display.h"

namespace morvix {

void applyBorder(platform::View& view)
{
    bool single = platform::Screen::main().scale() == 1.0;
    auto& layer = view.layer();
    // The platform's light grey: white at two thirds.
    layer.setBorderColor(platform::Color::fromRGBA(2.0f / 3, 2.0f / 3, 2.0f / 3));
    layer.setCornerRadius(single ? 8.0 : 5.0);
    layer.setBorderWidth(single ? 0.6 : 0.4);
}

MultiTextInput::MultiTextInput(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : TextInput(key, std::move(id), std::move(client))
    , m_textView(MorvixTextView::create())
{
    m_textView->setShowsHorizontalScrollIndicator(true);
    m_textView->setShowsVerticalScrollIndicator(true);
    m_textView->setScrollEnabled(true);
    applyBorder(*m_textView);
}

MultiTextInput::~MultiTextInput() = default;

std::shared_ptr<MultiTextInput> MultiTextInput::make(const std::string& id, std::shared_ptr<ClientContext> client)
{
    auto input = construct<MultiTextInput>(id, std::move(client));
    input->m_textView->setParent(input);
    input->m_textView->setLayoutDelegate(input);
    input->m_textView->setTextDelegate(input);
    input->bindTextInput(platform::TextView::kTextDidChangeNotification);
    return input;
}

std::shared_ptr<platform::View> MultiTextInput::getTextInput() const
{
    return m_textView;
}

void MultiTextInput::setEditable(bool editable)
{
    TextInput::setEditable(editable);
    m_textView->setEditable(editable);
}

bool MultiTextInput::textViewShouldBeginEditing(platform::TextView& view)
{
    auto client = this->client();
    if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
        display->setActiveTextField(m_textView);
    return shouldBeginEditing(view);
}

} // namespace morvix
