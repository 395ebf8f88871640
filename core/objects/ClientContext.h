#pragma once
// What a remote object needs of the session that owns it.

#include "platform/foundation/SessionBudget.h"
#include "platform/graphics/Color.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class LogEntry;
class MorvixHTTPClient;
class PatchStore;
class RemoteObject;

namespace platform {
class Image;
class Url;
class View;
class Window;
}

/// The session as its remote objects see it: the object registry's lookup and removal, and the
/// session log. The session class implements it; tests supply their own. Remote objects hold it
/// weakly.
class ClientContext {
public:
    /// Ends the session's budget (`SessionBudget::endSession`).
    virtual ~ClientContext();

    /// The registered object with that id, or null. Creates nothing. Any thread.
    virtual std::shared_ptr<RemoteObject> objectById(const std::string& id) = 0;
    /// Drops the registry's entry for `id`; does nothing when there is none. Main thread.
    virtual void removeObjectById(const std::string& id) = 0;
    /// Appends `entry` to the session log. Any thread.
    virtual void log(const LogEntry& entry) = 0;

    // What widgets ask of the session. Each has a neutral answer, for sessions without a user
    // interface.
    /// Seconds since the current session was loaded, on the process clock; 0 by default.
    virtual double timeInSession() const { return 0; }
    /// The object registry's root object (the display); null by default. Any thread.
    virtual std::shared_ptr<RemoteObject> rootObject() const { return nullptr; }
    /// The session's window; null by default.
    virtual std::shared_ptr<platform::Window> window() const { return nullptr; }
    /// The root view of the session's interface; null by default.
    virtual std::shared_ptr<platform::View> rootView() const { return nullptr; }
    /// Starts the session anew (a reload); nothing by default. Main thread.
    virtual void load() {}
    /// Whether the application frame is active (the "morvix.UI" head key); false by default.
    virtual bool morvixUIActive() const { return false; }
    /// The session's HTTP client, replaced on every load; null by default. Any thread.
    virtual std::shared_ptr<MorvixHTTPClient> httpClient() const { return nullptr; }
    /// `text` resolved against the server's URL (local resource roots first); nothing by
    /// default. Any thread.
    virtual std::optional<platform::Url> relativeURLToServer(const std::string& text) const;
    /// The image at `path`, fetched and decoded through the session's HTTP client (blocks the
    /// calling thread); null by default or when it cannot be had. Any thread.
    virtual std::shared_ptr<platform::Image> imageFromPath(const std::string& path) const;
    /// The session's downloadable patches; null by default or before the first load. Any thread.
    virtual std::shared_ptr<PatchStore> patchStore() const { return nullptr; }
    /// Colours the area behind the status bar; none restores the session's default. Nothing by
    /// default (and in a session whose window has no container that holds that colour). Main
    /// thread.
    virtual void setStatusBarBackgroundColor(const std::optional<platform::Color>& color) { (void)color; }
    /// Whether a binding is applying a message now (the notifications dispatcher's
    /// `isProcessing`); false by default. Any thread.
    virtual bool isProcessingMessage() const { return false; }

    /// What the session's objects together may hold at once (downloads, bitmaps, saved drawing
    /// states) and the files made for them; one per context, for its whole life. Any thread.
    const std::shared_ptr<platform::SessionBudget>& sessionBudget() const { return m_sessionBudget; }

private:
    const std::shared_ptr<platform::SessionBudget> m_sessionBudget = platform::SessionBudget::create();
};

} // namespace morvix
