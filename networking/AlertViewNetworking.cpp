#include "networking/AlertViewNetworking.h"

#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetURLResponseSerialization.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AlertView.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace morvix {

namespace {

// The waits for a finish, each removed by its own notification. Kept here rather than in the
// observer's callback, so that an observation and its token do not keep each other alive.
std::mutex s_waitsMutex; // guards s_waits and s_nextWait
std::map<std::uint64_t, platform::ObserverToken> s_waits;
std::uint64_t s_nextWait = 0;

void endWait(std::uint64_t wait)
{
    platform::ObserverToken token;
    {
        std::lock_guard lock(s_waitsMutex);
        auto found = s_waits.find(wait);
        if (found == s_waits.end())
            return;
        token = std::move(found->second);
        s_waits.erase(found);
    }
    token.reset();
}

// The operation's error. An HTTP operation's validation error exists only once its response
// has been decoded, which its completion does after the finish is announced, so the response
// is decoded here first (the operation keeps the result for its completion).
std::optional<platform::Error> errorOf(NetURLConnectionOperation& operation)
{
    if (auto http = dynamic_cast<NetHTTPRequestOperation*>(&operation))
        (void)http->responseObject();
    return operation.error();
}

void showAlert(const platform::Error& error, std::weak_ptr<platform::AlertViewDelegate> delegate, std::string cancelButtonTitle,
    std::vector<std::string> otherButtonTitles)
{
    auto texts = AlertViewNetworking::alertTexts(error);
    auto alert = platform::AlertView::create(std::move(texts.title), std::move(texts.message), std::move(delegate),
        std::move(cancelButtonTitle), std::move(otherButtonTitles));
    alert->show();
}

} // namespace

void AlertViewNetworking::showAlertViewForRequestOperationWithErrorOnCompletion(const std::shared_ptr<NetURLConnectionOperation>& operation,
    std::weak_ptr<platform::AlertViewDelegate> delegate)
{
    showAlertViewForRequestOperationWithErrorOnCompletion(operation, std::move(delegate), NetLocalizedString("Dismiss"), {});
}

void AlertViewNetworking::showAlertViewForRequestOperationWithErrorOnCompletion(const std::shared_ptr<NetURLConnectionOperation>& operation,
    std::weak_ptr<platform::AlertViewDelegate> delegate, std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles)
{
    platform::assertOnMainThread();
    if (!operation)
        return;
    std::lock_guard lock(s_waitsMutex);
    std::uint64_t wait = ++s_nextWait;
    // The finish is posted on the main loop, where alerts are shown.
    s_waits[wait] = platform::NotificationCenter::defaultCenter()->addObserver(NetworkingOperationDidFinishNotification,
        static_cast<const NetURLConnectionOperation*>(operation.get()),
        [wait, delegate = std::move(delegate), cancel = std::move(cancelButtonTitle), others = std::move(otherButtonTitles)](
            const platform::Notification& notification) {
            auto finished = std::any_cast<std::shared_ptr<NetURLConnectionOperation>>(&notification.object);
            std::optional<platform::Error> error = finished && *finished ? errorOf(**finished) : std::nullopt;
            if (error)
                showAlert(*error, delegate, cancel, others);
            endWait(wait);
        });
}

AlertViewNetworking::AlertTexts AlertViewNetworking::alertTexts(const platform::Error& error)
{
    if (!error.hasDescription())
        return { NetLocalizedString("Error"),
            platform::format(NetLocalizedString("%@ Error: %ld"), error.domain(), static_cast<long>(error.code())) };
    auto detail = error.recoverySuggestion();
    if (!detail)
        detail = error.failureReason();
    if (detail)
        return { error.description(), *detail };
    return { NetLocalizedString("Error"), error.description() };
}

} // namespace morvix
