#include "networking/ButtonNetworking.h"

#include "networking/ImageViewNetworking.h"
#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetImageCache.h"
#include "networking/NetImageResponseSerializer.h"
#include "networking/NetViewStateTable.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OperationQueue.h"
#include "platform/ui/controls/Button.h"

#include <array>
#include <mutex>

namespace morvix {

namespace {

constexpr std::size_t kStateSlots = 4;

struct ButtonState {
    // Image slots first, then background-image slots; each in the order of `stateSlot`.
    std::array<std::shared_ptr<NetHTTPRequestOperation>, 2 * kStateSlots> operations;
    std::shared_ptr<NetHTTPResponseSerializer> serializer;
};

NetViewStateTable<ButtonState>& states()
{
    static auto* table = new NetViewStateTable<ButtonState>;
    return *table;
}

std::mutex s_cacheMutex; // guards s_cache
std::shared_ptr<NetImageCache> s_cache;

// Highlighted, disabled and selected have slots of their own; every other state (normal, and
// combinations such as highlighted and disabled together) shares the normal one.
std::size_t stateSlot(platform::ControlState state)
{
    switch (static_cast<unsigned>(state)) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 4:
        return 3;
    default:
        return 0;
    }
}

} // namespace

std::size_t ButtonNetworking::slot(Kind kind, platform::ControlState state)
{
    return (kind == Kind::Image ? 0 : kStateSlots) + stateSlot(state);
}

void ButtonNetworking::setImageForState(platform::Button& button, platform::ControlState state, const platform::Url& url,
    std::shared_ptr<platform::Image> placeholder)
{
    load(Kind::Image, button, state, NetImageRequestForURL(url), std::move(placeholder), nullptr, nullptr);
}

void ButtonNetworking::setImageForState(platform::Button& button, platform::ControlState state, platform::URLRequest request,
    std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure)
{
    load(Kind::Image, button, state, std::move(request), std::move(placeholder), std::move(success), std::move(failure));
}

void ButtonNetworking::setBackgroundImageForState(platform::Button& button, platform::ControlState state, const platform::Url& url,
    std::shared_ptr<platform::Image> placeholder)
{
    load(Kind::BackgroundImage, button, state, NetImageRequestForURL(url), std::move(placeholder), nullptr, nullptr);
}

void ButtonNetworking::setBackgroundImageForState(platform::Button& button, platform::ControlState state, platform::URLRequest request,
    std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure)
{
    load(Kind::BackgroundImage, button, state, std::move(request), std::move(placeholder), std::move(success), std::move(failure));
}

void ButtonNetworking::load(Kind kind, platform::Button& button, platform::ControlState state, platform::URLRequest request,
    std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure)
{
    platform::assertOnMainThread();
    cancel(kind, button, state);
    if (auto cached = sharedImageCache()->cachedImageForRequest(request)) {
        if (success)
            success(nullptr, nullptr, cached);
        else
            apply(kind, button, state, std::move(cached));
        return;
    }
    if (placeholder)
        apply(kind, button, state, std::move(placeholder));

    auto operation = NetHTTPRequestOperation::create(request);
    operation->setResponseSerializer(imageResponseSerializer(button));
    std::weak_ptr<platform::Button> weakButton = std::static_pointer_cast<platform::Button>(button.shared_from_this());
    operation->setCompletionBlockWithSuccess(
        [kind, state, weakButton, request, success](const std::shared_ptr<NetHTTPRequestOperation>& finished, const std::any& object) {
            auto button = weakButton.lock();
            if (!button)
                return;
            auto found = std::any_cast<std::shared_ptr<platform::Image>>(&object);
            auto image = found ? *found : nullptr;
            if (takeIfCurrent(kind, *button, state, finished)) {
                if (success)
                    success(&request, finished->response(), image);
                else if (image)
                    apply(kind, *button, state, image);
            }
            sharedImageCache()->cacheImage(image, request);
        },
        [kind, state, weakButton, failure](const std::shared_ptr<NetHTTPRequestOperation>& finished, const platform::Error& error) {
            auto button = weakButton.lock();
            if (button && takeIfCurrent(kind, *button, state, finished) && failure)
                failure(error);
        });
    states().with(button, [&](ButtonState& own) { own.operations[slot(kind, state)] = operation; });
    sharedImageRequestOperationQueue()->addOperation(operation);
}

void ButtonNetworking::apply(Kind kind, platform::Button& button, platform::ControlState state, std::shared_ptr<platform::Image> image)
{
    if (kind == Kind::Image)
        button.setImage(std::move(image), state);
    else
        button.setBackgroundImage(std::move(image), state);
}

bool ButtonNetworking::takeIfCurrent(Kind kind, const platform::Button& button, platform::ControlState state,
    const std::shared_ptr<NetHTTPRequestOperation>& operation)
{
    return states().with(button, [&](ButtonState& own) {
        auto& stored = own.operations[slot(kind, state)];
        if (stored != operation)
            return false;
        stored = nullptr;
        return true;
    });
}

void ButtonNetworking::cancel(Kind kind, platform::Button& button, platform::ControlState state)
{
    auto running = states().with(button, [&](ButtonState& own) { return std::exchange(own.operations[slot(kind, state)], nullptr); });
    if (running)
        running->cancel();
}

void ButtonNetworking::cancelImageRequestOperationForState(platform::Button& button, platform::ControlState state)
{
    cancel(Kind::Image, button, state);
}

void ButtonNetworking::cancelBackgroundImageRequestOperationForState(platform::Button& button, platform::ControlState state)
{
    cancel(Kind::BackgroundImage, button, state);
}

std::shared_ptr<NetHTTPRequestOperation> ButtonNetworking::operationInSlot(Kind kind, const platform::Button& button,
    platform::ControlState state)
{
    return states().with(button, [&](ButtonState& own) { return own.operations[slot(kind, state)]; });
}

std::shared_ptr<NetHTTPRequestOperation> ButtonNetworking::imageRequestOperationForState(const platform::Button& button,
    platform::ControlState state)
{
    return operationInSlot(Kind::Image, button, state);
}

std::shared_ptr<NetHTTPRequestOperation> ButtonNetworking::backgroundImageRequestOperationForState(const platform::Button& button,
    platform::ControlState state)
{
    return operationInSlot(Kind::BackgroundImage, button, state);
}

std::shared_ptr<NetHTTPResponseSerializer> ButtonNetworking::imageResponseSerializer(const platform::Button& button)
{
    static const std::shared_ptr<NetHTTPResponseSerializer> shared = NetImageResponseSerializer::serializer();
    auto own = states().with(button, [](ButtonState& state) { return state.serializer; });
    return own ? own : shared;
}

void ButtonNetworking::setImageResponseSerializer(const platform::Button& button, std::shared_ptr<NetHTTPResponseSerializer> serializer)
{
    states().with(button, [&](ButtonState& state) { state.serializer = std::move(serializer); });
}

std::shared_ptr<NetImageCache> ButtonNetworking::sharedImageCache()
{
    {
        std::lock_guard lock(s_cacheMutex);
        if (s_cache)
            return s_cache;
    }
    return ImageViewNetworking::sharedImageCache();
}

void ButtonNetworking::setSharedImageCache(std::shared_ptr<NetImageCache> cache)
{
    std::lock_guard lock(s_cacheMutex);
    s_cache = std::move(cache);
}

std::shared_ptr<platform::OperationQueue> ButtonNetworking::sharedImageRequestOperationQueue()
{
    static const std::shared_ptr<platform::OperationQueue> queue = platform::OperationQueue::create();
    return queue;
}

} // namespace morvix
