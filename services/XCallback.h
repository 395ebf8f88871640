#pragma once
// Requests to other applications through x-callback URLs, and their answers.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "core/session/URLCallbackReceiver.h"

#include <string_view>

namespace morvix {

/// "morvix.XCallback": "call" applies its properties as a set, then opens
/// "<targetScheme>://x-callback-url/<targetAction>?x-source=...&x-success=...&x-error=...
/// &x-cancel=...[&<actionParameters>]", whose callback URLs
/// "<application id>://x-callback-url/<object id>/<kind>" bring the other application's answer
/// back to this object through the session's `openURL`. An answer fires "Success", "Cancel" or
/// "Error" at once with its query's parameters.
///
/// Names and values are percent-encoded as UTF-8, all but letters, digits, "-", ".", "_" and "~";
/// parameters keep the wire's order; numbers and booleans among "actionParameters" go as their
/// JSON text, other values that are not text are skipped with a warning. A target no application
/// opens only logs "Unable to open <url> for XCallback". Main thread.
class XCallback final : public RemoteClass<XCallback>, public URLCallbackReceiver {
public:
    static constexpr std::string_view kRemoteType = "morvix.XCallback";

    XCallback(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// "Success", "Cancel" and "Error".
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void call(const platform::Value* properties);

    /// The URL "call" opens with the current properties.
    std::string requestURL();
    /// This application's URL for answers of `kind` ("x-success", "x-error", "x-cancel").
    std::string callbackURL(std::string_view kind) const;
    /// The parameters of an answer's query: split at "&", each part at its first "=" (a bare
    /// name gets ""), both sides percent-decoded, a "+" kept, a later repeat winning.
    static platform::Value parametersFromQuery(std::string_view query);

    // URLCallbackReceiver
    void callbackWithURL(const platform::Url& url) override;

    std::optional<std::string> targetScheme() const { return m_targetScheme; }
    std::optional<std::string> targetAction() const { return m_targetAction; }
    std::optional<platform::Value> actionParameters() const { return m_actionParameters; }
    std::optional<std::string> xSource() const { return m_xSource; }

private:
    std::string encodedActionParameters();

    std::optional<std::string> m_targetScheme;
    std::optional<std::string> m_targetAction;
    std::optional<platform::Value> m_actionParameters;
    std::optional<std::string> m_xSource;
};

} // namespace morvix
