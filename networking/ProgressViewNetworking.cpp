#include "networking/ProgressViewNetworking.h"

#include "networking/NetURLConnectionOperation.h"
#include "networking/NetViewStateTable.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/controls/ProgressView.h"

namespace morvix {

namespace {

struct ProgressState {
    bool uploadAnimated = false;
    bool downloadAnimated = false;
};

NetViewStateTable<ProgressState>& states()
{
    static auto* table = new NetViewStateTable<ProgressState>;
    return *table;
}

// A progress block that calls `previous` and then moves the view.
NetURLConnectionOperation::ProgressBlock chained(platform::ProgressView& view, NetURLConnectionOperation::ProgressBlock previous,
    platform::Animated animated)
{
    std::weak_ptr<platform::ProgressView> weakView = std::static_pointer_cast<platform::ProgressView>(view.shared_from_this());
    return [weakView, previous = std::move(previous), animated](std::int64_t bytes, std::int64_t totalBytes, std::int64_t totalExpected) {
        if (previous)
            previous(bytes, totalBytes, totalExpected);
        platform::MainLoop::main().post([weakView, totalBytes, totalExpected, animated] {
            if (totalExpected < 1)
                return;
            if (auto view = weakView.lock())
                view->setProgress(static_cast<float>(totalBytes) / static_cast<float>(totalExpected), animated);
        });
    };
}

} // namespace

void ProgressViewNetworking::setProgressWithUploadProgressOfOperation(platform::ProgressView& view, NetURLConnectionOperation& operation,
    platform::Animated animated)
{
    operation.setUploadProgressBlock(chained(view, operation.uploadProgressBlock(), animated));
}

void ProgressViewNetworking::setProgressWithDownloadProgressOfOperation(platform::ProgressView& view, NetURLConnectionOperation& operation,
    platform::Animated animated)
{
    operation.setDownloadProgressBlock(chained(view, operation.downloadProgressBlock(), animated));
}

bool ProgressViewNetworking::uploadProgressAnimated(const platform::ProgressView& view)
{
    return states().with(view, [](ProgressState& state) { return state.uploadAnimated; });
}

void ProgressViewNetworking::setUploadProgressAnimated(const platform::ProgressView& view, bool animated)
{
    states().with(view, [&](ProgressState& state) { state.uploadAnimated = animated; });
}

bool ProgressViewNetworking::downloadProgressAnimated(const platform::ProgressView& view)
{
    return states().with(view, [](ProgressState& state) { return state.downloadAnimated; });
}

void ProgressViewNetworking::setDownloadProgressAnimated(const platform::ProgressView& view, bool animated)
{
    states().with(view, [&](ProgressState& state) { state.downloadAnimated = animated; });
}

} // namespace morvix
