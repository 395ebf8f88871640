#pragma once
// Picking pictures from the device's sources.

#include "platform/ui/ViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class Image;
class ImagePickerController;

/// Where a picture comes from, by the platform's numbers.
enum class ImagePickerSourceType {
    PhotoLibrary = 0,
    Camera = 1,
    SavedPhotosAlbum = 2,
};

/// Hears how a picker ended. Main thread.
class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    /// The user chose a picture: the original, and the edited one when editing made one (else null).
    virtual void didFinishPickingImage(ImagePickerController& picker, const std::shared_ptr<Image>& original, const std::shared_ptr<Image>& edited) = 0;
    virtual void didCancel(ImagePickerController& picker) = 0;
};

/// The picture picker: a controller showing one source, which a test or the embedding
/// application answers with `pick` or `cancel` (the headless device has no one to choose).
/// Which sources the device offers is process-wide: the headless device has no camera unless the
/// embedding application (or a test) declares one; the photo library and the saved-photos album
/// are there. Its view is a titled card naming the source. Availability: any thread; the rest:
/// main thread.
class ImagePickerController final : public ViewController {
public:
    /// The media type of still pictures, the only one this picker offers.
    static constexpr const char* kImageMediaType = "public.image";

    static std::shared_ptr<ImagePickerController> create();
    const char* className() const override { return "ImagePickerController"; }

    static bool isSourceTypeAvailable(ImagePickerSourceType source);
    static void setSourceTypeAvailable(ImagePickerSourceType source, bool available);
    /// Back to the defaults: camera off, the other two on.
    static void resetAvailabilityForTesting();

    /// The photo library until set.
    ImagePickerSourceType sourceType() const { return m_sourceType; }
    void setSourceType(ImagePickerSourceType source);
    /// Still pictures only until set.
    const std::vector<std::string>& mediaTypes() const { return m_mediaTypes; }
    void setMediaTypes(std::vector<std::string> types) { m_mediaTypes = std::move(types); }
    bool allowsEditing() const { return m_allowsEditing; }
    void setAllowsEditing(bool allows) { m_allowsEditing = allows; }
    /// Held weakly; null until set.
    std::shared_ptr<ImagePickerControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<ImagePickerControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Drivers: the user chose `original` (with `edited`, may be null) or cancelled. Each tells
    /// the delegate; a picker answers once, later answers do nothing.
    void pick(std::shared_ptr<Image> original, std::shared_ptr<Image> edited = nullptr);
    void cancel();
    bool isAnswered() const { return m_answered; }
    /// The pickers alive and not yet answered that have a delegate, oldest first: what the
    /// embedding application answers.
    static std::vector<std::shared_ptr<ImagePickerController>> waitingPickers();

    void loadView() override;

private:
    ImagePickerController() = default;
    std::vector<std::string> cardLines() const;

    ImagePickerSourceType m_sourceType = ImagePickerSourceType::PhotoLibrary;
    std::vector<std::string> m_mediaTypes { kImageMediaType };
    bool m_allowsEditing = false;
    bool m_answered = false;
    std::weak_ptr<ImagePickerControllerDelegate> m_delegate;
};

} // namespace morvix::platform
