// The headless device's facilities: location delivery to the managers that run, the geocoder's
// pending requests, the picker's single answer, the schemes other applications open, and JPEG
// encoding.

#include "platform/device/DeviceLocation.h"
#include "platform/device/Geocoder.h"
#include "platform/device/LocationManager.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/screens/ImagePickerController.h"

#include <gtest/gtest.h>

namespace morvix::platform {
namespace {

class RecordingDelegate final : public LocationManagerDelegate {
public:
    void didUpdateToLocation(LocationManager& manager, const Location& location, const std::optional<Location>& old) override
    {
        updates.push_back({ location.coordinate.latitude, old ? old->coordinate.latitude : -1 });
        if (onUpdate)
            onUpdate(manager);
    }
    void didFailWithError(LocationManager&, const Error& error) override { errors.push_back(error.code()); }

    std::vector<std::pair<double, double>> updates; // new and old latitude (-1: none)
    std::vector<long> errors;
    std::function<void(LocationManager&)> onUpdate;
};

Location at(double latitude)
{
    Location location;
    location.coordinate = { latitude, 8.5 };
    return location;
}

TEST(DeviceLocationTest, DeliversToTheManagersUpdatingWhenCalled)
{
    DeviceLocation::resetForTesting();
    auto delegate = std::make_shared<RecordingDelegate>();
    auto first = LocationManager::create();
    auto second = LocationManager::create();
    first->setDelegate(delegate);
    second->setDelegate(delegate);
    first->startUpdatingLocation();
    first->startUpdatingLocation();
    EXPECT_EQ(DeviceLocation::updatingManagers().size(), 1u) << "starting twice lists a manager once";

    // A delegate that stops its own manager and starts another during a delivery: the new one
    // waits for the next delivery.
    delegate->onUpdate = [&](LocationManager& manager) {
        manager.stopUpdatingLocation();
        second->startUpdatingLocation();
    };
    DeviceLocation::deliver(at(1));
    ASSERT_EQ(delegate->updates.size(), 1u);
    delegate->onUpdate = nullptr;
    DeviceLocation::deliver(at(2));
    DeviceLocation::deliver(at(3));
    EXPECT_EQ(delegate->updates, (std::vector<std::pair<double, double>> { { 1, -1 }, { 2, -1 }, { 3, 2 } }));

    // Failures reach the running ones too and stop nothing; a destroyed manager is gone.
    DeviceLocation::fail(1, "denied");
    EXPECT_EQ(delegate->errors, (std::vector<long> { 1 }));
    EXPECT_TRUE(second->isUpdatingLocation());
    second.reset();
    EXPECT_TRUE(DeviceLocation::updatingManagers().empty());
    DeviceLocation::deliver(at(4));
    EXPECT_EQ(delegate->updates.size(), 3u);

    // The heading is the device's while heading updates run, none otherwise.
    DeviceLocation::setHeading(271.5);
    EXPECT_EQ(first->heading(), std::nullopt);
    first->startUpdatingHeading();
    EXPECT_EQ(first->heading(), 271.5);
    DeviceLocation::resetForTesting();
    EXPECT_EQ(first->heading(), std::nullopt);
}

TEST(GeocoderTest, ARequestWaitsForOneAnswerAndKeepsItsGeocoderAlive)
{
    Geocoder::resetForTesting();
    std::vector<std::string> heard;
    auto record = [&](const std::vector<Placemark>& places, const std::optional<Error>& error) {
        heard.push_back(error ? "error " + std::to_string(error->code()) : std::to_string(places.size()) + " places");
    };
    std::weak_ptr<Geocoder> weak;
    {
        auto geocoder = Geocoder::create();
        weak = geocoder;
        geocoder->geocodeAddressString("Bahnhofstrasse 1, Zürich", record);
        geocoder->geocodeAddressString("second", record);
    }
    EXPECT_EQ(heard, (std::vector<std::string> { "error 10" })) << "one request at a time";
    auto pending = Geocoder::pendingGeocoders();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0]->address(), "Bahnhofstrasse 1, Zürich");
    pending[0]->answer({ Placemark { "Zürich HB", { 47.378, 8.540 } } });
    pending[0]->fail(Error("kCLErrorDomain", 8));
    EXPECT_EQ(heard, (std::vector<std::string> { "error 10", "1 places" })) << "answered once";
    pending.clear();
    EXPECT_TRUE(weak.expired()) << "the answered geocoder is let go";
    EXPECT_TRUE(Geocoder::pendingGeocoders().empty());
}

class PickerDelegate final : public ImagePickerControllerDelegate {
public:
    void didFinishPickingImage(ImagePickerController&, const std::shared_ptr<Image>&, const std::shared_ptr<Image>&) override
    {
        ++picked;
        held.reset(); // the usual delegate lets go of its picker here
    }
    void didCancel(ImagePickerController&) override { ++cancelled; }
    int picked = 0;
    int cancelled = 0;
    std::shared_ptr<ImagePickerController> held;
};

TEST(ImagePickerTest, AnswersOnceAndOnlyWaitingPickersAreListed)
{
    auto delegate = std::make_shared<PickerDelegate>();
    delegate->held = ImagePickerController::create();
    std::weak_ptr<ImagePickerController> picker = delegate->held;
    auto silent = ImagePickerController::create();
    EXPECT_TRUE(ImagePickerController::waitingPickers().empty()) << "pickers without a delegate are nobody's to answer";
    delegate->held->setDelegate(delegate);
    ASSERT_EQ(ImagePickerController::waitingPickers().size(), 1u);
    ImagePickerController::waitingPickers()[0]->pick(Image::createTransparent(2, 2));
    EXPECT_TRUE(picker.expired());
    EXPECT_EQ(delegate->picked, 1);
    EXPECT_EQ(delegate->cancelled, 0);
    EXPECT_TRUE(ImagePickerController::waitingPickers().empty());
}

TEST(OtherApplicationsTest, OnlyDeclaredSchemesCanBeOpened)
{
    auto& application = Application::shared();
    application.resetForTesting();
    EXPECT_FALSE(application.canOpenURL("tel://123")) << "none by default";
    application.setOpenableSchemes({ "tel", "Maps-App" });
    EXPECT_TRUE(application.canOpenURL("TEL://123"));
    EXPECT_TRUE(application.canOpenURL("maps-app:?q=x"));
    EXPECT_FALSE(application.canOpenURL("telprompt://123"));
    EXPECT_FALSE(application.canOpenURL("tel"));
    EXPECT_FALSE(application.canOpenURL(":tel"));
    EXPECT_FALSE(application.canOpenURL("t el://1"));
    application.resetForTesting();
    EXPECT_FALSE(application.canOpenURL("tel://123"));
}

TEST(JPEGEncodingTest, EncodesTheUprightPictureAtTheMappedQuality)
{
    BitmapContext bitmap(40, 20);
    bitmap.context().setFillColor(Color::fromRGBA(1, 0, 0));
    bitmap.context().fillRect({ 0, 0, 20, 20 });
    bitmap.context().setFillColor(Color::fromRGBA(0, 0, 1));
    bitmap.context().fillRect({ 20, 0, 20, 20 });
    auto tilted = bitmap.image(1, ImageOrientation::Right);
    auto jpeg = tilted->encodeJPEG(0.9);
    ASSERT_FALSE(jpeg.empty());
    auto decoded = Image::decode(jpeg);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->pixelWidth(), 20);
    EXPECT_EQ(decoded->pixelHeight(), 40);
    // Turned right: the stored left half (red) is the top.
    EXPECT_GT(decoded->pixelAt(10, 5).red, 200);
    EXPECT_GT(decoded->pixelAt(10, 35).blue, 200);
    // Lower quality gives fewer bytes; out-of-range values are clamped, not refused.
    EXPECT_LT(tilted->encodeJPEG(0.1).size(), jpeg.size());
    EXPECT_EQ(tilted->encodeJPEG(-3), tilted->encodeJPEG(0));
    EXPECT_EQ(tilted->encodeJPEG(7), tilted->encodeJPEG(1));
}

} // namespace
} // namespace morvix::platform
