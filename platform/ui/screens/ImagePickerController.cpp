#include "platform/ui/screens/ImagePickerController.h"

#include "platform/ui/Screen.h"
#include "platform/ui/screens/SystemSheetView.h"

#include <array>
#include <atomic>

namespace morvix::platform {

namespace {

std::array<std::atomic<bool>, 3> s_available { true, false, true };

// Main thread only, like the pickers.
std::vector<std::weak_ptr<ImagePickerController>>& pickers()
{
    static std::vector<std::weak_ptr<ImagePickerController>> list;
    return list;
}

const char* sourceName(ImagePickerSourceType source)
{
    switch (source) {
    case ImagePickerSourceType::PhotoLibrary:
        return "Photo Library";
    case ImagePickerSourceType::Camera:
        return "Camera";
    case ImagePickerSourceType::SavedPhotosAlbum:
        return "Saved Photos";
    }
    return "Pictures";
}

} // namespace

bool ImagePickerController::isSourceTypeAvailable(ImagePickerSourceType source)
{
    auto index = static_cast<std::size_t>(source);
    return index < s_available.size() && s_available[index];
}

void ImagePickerController::setSourceTypeAvailable(ImagePickerSourceType source, bool available)
{
    auto index = static_cast<std::size_t>(source);
    if (index < s_available.size())
        s_available[index] = available;
}

void ImagePickerController::resetAvailabilityForTesting()
{
    s_available[0] = true;
    s_available[1] = false;
    s_available[2] = true;
}

std::shared_ptr<ImagePickerController> ImagePickerController::create()
{
    auto picker = std::shared_ptr<ImagePickerController>(new ImagePickerController());
    std::erase_if(pickers(), [](const auto& weak) { return weak.expired(); });
    pickers().push_back(picker);
    return picker;
}

void ImagePickerController::setSourceType(ImagePickerSourceType source)
{
    m_sourceType = source;
    if (auto card = std::dynamic_pointer_cast<SystemSheetView>(isViewLoaded() ? view() : nullptr))
        card->setTitle(sourceName(source));
}

void ImagePickerController::pick(std::shared_ptr<Image> original, std::shared_ptr<Image> edited)
{
    if (m_answered)
        return;
    m_answered = true;
    // The delegate usually lets go of the picker here.
    auto keepAlive = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->didFinishPickingImage(*this, original, edited);
}

void ImagePickerController::cancel()
{
    if (m_answered)
        return;
    m_answered = true;
    // The delegate usually lets go of the picker here.
    auto keepAlive = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->didCancel(*this);
}

std::vector<std::shared_ptr<ImagePickerController>> ImagePickerController::waitingPickers()
{
    std::vector<std::shared_ptr<ImagePickerController>> waiting;
    for (const auto& weak : pickers()) {
        auto picker = weak.lock();
        if (picker && !picker->m_answered && picker->delegate())
            waiting.push_back(std::move(picker));
    }
    return waiting;
}

std::vector<std::string> ImagePickerController::cardLines() const
{
    std::vector<std::string> lines;
    for (const auto& type : m_mediaTypes)
        lines.push_back("Media: " + type);
    lines.push_back(m_allowsEditing ? "Editing allowed" : "No editing");
    return lines;
}

void ImagePickerController::loadView()
{
    auto card = SystemSheetView::create(Screen::main().bounds());
    card->setTitle(sourceName(m_sourceType));
    card->setLines(cardLines());
    setView(card);
}

} // namespace morvix::platform
