#pragma once
// The identity of the headless device the library runs on.

#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

enum class DeviceIdiom {
    Phone,
    Pad,
};

enum class DeviceOrientation {
    Unknown,
    Portrait,
    PortraitUpsideDown,
    LandscapeLeft,
    LandscapeRight,
    FaceUp,
    FaceDown,
};

/// What the device says about itself: model, system, screen, languages and orientation. The
/// embedding application sets it (or `morvix-run` from its options) before it starts a session;
/// the defaults describe a phone. Phone-or-pad behaviour is keyed off the model text's prefix,
/// so the idiom is the model's prefix ("iPhone" or "iPad") and `setIdiom` sets it.
///
/// `current()` and `setCurrent()` may be called from any thread; `current()` gives a copy.
struct DeviceInfo {
    /// Posted on the default notification centre, without object or user info, when the device
    /// reports its orientation (read it from `current()`).
    static constexpr const char* kOrientationDidChangeNotification = "UIDeviceOrientationDidChangeNotification";

    /// The headless platform's own system version, not the kernel's.
    static constexpr std::string_view kPlatformVersion = "10.0";
    /// The headless platform's foundation version number: above every threshold the library
    /// tests, so that it always takes the newer platform's path.
    static constexpr double kFoundationVersionNumber = 1200.0;
    static constexpr std::string_view kPhoneModel = "iPhone";
    static constexpr std::string_view kPadModel = "iPad";

    std::string model = std::string(kPhoneModel);
    std::string systemName = "Linux";
    std::string systemVersion = std::string(kPlatformVersion);
    double screenWidth = 320;
    double screenHeight = 568;
    double screenScale = 2;
    std::vector<std::string> preferredLanguages { "en" };
    std::string localeIdentifier = "en_US";
    /// The device's time zone as an IANA id ("Europe/Zurich"); empty means the host's zone.
    std::string timeZone;
    /// The hardware machine name (the platform's "iPhone3,1"); the host's `uname` machine by default.
    std::string machine = hostMachine();
    DeviceOrientation orientation = DeviceOrientation::Portrait;

    /// Pad when the model starts with "iPad", otherwise phone.
    DeviceIdiom idiom() const;
    /// Sets the model to the idiom's prefix.
    void setIdiom(DeviceIdiom idiom);

    /// The device identity the library reads.
    static DeviceInfo current();
    static void setCurrent(DeviceInfo info);
    /// The device starts reporting its orientation: it posts kOrientationDidChangeNotification
    /// once with its current orientation, on a later turn of the main loop (so that whoever
    /// asked may finish setting up first). Every call posts once. Any thread, once the main
    /// loop is bound.
    static void beginGeneratingOrientationNotifications();
    /// Back to the defaults.
    static void resetForTesting();
    /// The host's hardware name from `uname` ("x86_64"); empty when it cannot be read.
    static std::string hostMachine();
};

} // namespace morvix::platform
