#include "networking/WebViewNetworking.h"

#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetURLResponseSerialization.h"
#include "networking/NetViewStateTable.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/StringEncoding.h"
#include "platform/ui/screens/WebView.h"

#include <unicode/ucnv.h>

#include <memory>

namespace morvix {

namespace {

struct WebViewState {
    std::shared_ptr<NetHTTPRequestOperation> operation;
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer;
    std::shared_ptr<NetHTTPResponseSerializer> responseSerializer;
};

NetViewStateTable<WebViewState>& states()
{
    static auto* table = new NetViewStateTable<WebViewState>;
    return *table;
}

struct ConverterDeleter {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// UTF-8 `text` in the character set `charset`; nothing when a character has no place in it.
std::optional<std::string> encodeText(const std::string& text, const std::string& charset)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterDeleter> from(ucnv_open("UTF-8", &status));
    std::unique_ptr<UConverter, ConverterDeleter> to(ucnv_open(charset.c_str(), &status));
    if (U_FAILURE(status))
        return std::nullopt;
    ucnv_setToUCallBack(from.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(to.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::string out(text.size() * 4 + 16, '\0');
    char* target = out.data();
    const char* source = text.data();
    ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source, text.data() + text.size(), nullptr, nullptr,
        nullptr, nullptr, true, true, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(static_cast<std::size_t>(target - out.data()));
    return out;
}

platform::Error undecodablePage(const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::string& data,
    const std::string& charset)
{
    platform::Error error(NetURLResponseSerializationErrorDomain, NetURLErrorCannotDecodeContentData,
        platform::format(NetLocalizedString("Data failed decoding as a %@ string"), charset));
    if (response)
        error.set(NetworkingOperationFailingURLResponseErrorKey, std::shared_ptr<const platform::URLResponse>(response));
    error.set(NetworkingOperationFailingURLResponseDataErrorKey, data);
    return error;
}

} // namespace

void WebViewNetworking::loadRequest(platform::WebView& view, const platform::URLRequest& request, std::optional<std::string> mimeType,
    std::optional<std::string> textEncodingName, NetURLConnectionOperation::ProgressBlock progress, DataSuccessBlock success,
    FailureBlock failure)
{
    Transform transform = [success = std::move(success)](const std::shared_ptr<const platform::HTTPURLResponse>& response,
                              const std::string& data, std::optional<platform::Error>&) -> std::optional<std::string> {
        return success ? success(response, data) : data;
    };
    load(view, request, std::move(mimeType), std::move(textEncodingName), std::move(progress), std::move(transform), std::move(failure));
}

void WebViewNetworking::loadRequest(platform::WebView& view, const platform::URLRequest& request,
    NetURLConnectionOperation::ProgressBlock progress, StringSuccessBlock success, FailureBlock failure)
{
    Transform transform = [success = std::move(success)](const std::shared_ptr<const platform::HTTPURLResponse>& response,
                              const std::string& data, std::optional<platform::Error>& error) -> std::optional<std::string> {
        std::string charset = "UTF-8";
        platform::StringEncoding encoding = platform::kUTF8StringEncoding;
        if (response && response->textEncodingName()) {
            if (auto named = platform::stringEncodingForIANACharsetName(*response->textEncodingName())) {
                charset = *response->textEncodingName();
                encoding = named;
            }
        }
        auto text = platform::decodeString(data, encoding);
        if (text && success)
            text = success(response, *text);
        std::optional<std::string> bytes = text ? encodeText(*text, charset) : std::nullopt;
        if (!bytes)
            error = undecodablePage(response, data, charset);
        return bytes;
    };
    load(view, request, std::nullopt, std::nullopt, std::move(progress), std::move(transform), std::move(failure));
}

void WebViewNetworking::load(platform::WebView& view, const platform::URLRequest& request, std::optional<std::string> mimeType,
    std::optional<std::string> textEncodingName, NetURLConnectionOperation::ProgressBlock progress, Transform transform,
    FailureBlock failure)
{
    platform::assertOnMainThread();
    auto running = states().with(view, [](WebViewState& state) { return std::exchange(state.operation, nullptr); });
    if (running)
        running->cancel();

    std::optional<platform::Error> serializationError;
    auto serialized = requestSerializer(view)->requestBySerializingRequest(request, std::nullopt, &serializationError);
    if (!serialized) {
        if (failure && serializationError)
            failure(*serializationError);
        return;
    }
    auto operation = NetHTTPRequestOperation::create(std::move(*serialized));
    operation->setResponseSerializer(responseSerializer(view));
    operation->setDownloadProgressBlock(std::move(progress));
    std::weak_ptr<platform::WebView> weakView = std::static_pointer_cast<platform::WebView>(view.shared_from_this());
    operation->setCompletionBlockWithSuccess(
        [weakView, mimeType, textEncodingName, transform = std::move(transform), failure](
            const std::shared_ptr<NetHTTPRequestOperation>& finished, const std::any&) {
            auto view = weakView.lock();
            if (!view)
                return;
            std::optional<platform::Error> error;
            auto data = transform(finished->response(), finished->responseData().value_or(std::string()), error);
            if (!data) {
                if (failure && error)
                    failure(*error);
                return;
            }
            show(*view, finished, std::move(*data), mimeType, textEncodingName);
        },
        [failure](const std::shared_ptr<NetHTTPRequestOperation>&, const platform::Error& error) {
            if (failure)
                failure(error);
        });
    states().with(view, [&](WebViewState& state) { state.operation = operation; });
    operation->start();
    if (auto delegate = view.delegate())
        delegate->webViewDidStartLoad(view);
}

void WebViewNetworking::show(platform::WebView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation, std::string data,
    const std::optional<std::string>& mimeType, const std::optional<std::string>& textEncodingName)
{
    auto response = operation->response();
    std::string type = mimeType.value_or(response && response->mimeType() ? *response->mimeType() : std::string());
    std::string encoding = textEncodingName.value_or(response && response->textEncodingName() ? *response->textEncodingName() : std::string());
    std::string baseURL = response && response->url() ? response->url()->absoluteString() : std::string();
    view.loadData(std::move(data), std::move(type), std::move(encoding), std::move(baseURL));
    if (auto delegate = view.delegate())
        delegate->webViewDidFinishLoad(view);
}

std::shared_ptr<NetHTTPRequestOperation> WebViewNetworking::HTTPRequestOperation(const platform::WebView& view)
{
    return states().with(view, [](WebViewState& state) { return state.operation; });
}

std::shared_ptr<NetHTTPRequestSerializer> WebViewNetworking::requestSerializer(const platform::WebView& view)
{
    static const std::shared_ptr<NetHTTPRequestSerializer> shared = NetHTTPRequestSerializer::serializer();
    auto own = states().with(view, [](WebViewState& state) { return state.requestSerializer; });
    return own ? own : shared;
}

void WebViewNetworking::setRequestSerializer(const platform::WebView& view, std::shared_ptr<NetHTTPRequestSerializer> serializer)
{
    states().with(view, [&](WebViewState& state) { state.requestSerializer = std::move(serializer); });
}

std::shared_ptr<NetHTTPResponseSerializer> WebViewNetworking::responseSerializer(const platform::WebView& view)
{
    static const std::shared_ptr<NetHTTPResponseSerializer> shared = NetHTTPResponseSerializer::serializer();
    auto own = states().with(view, [](WebViewState& state) { return state.responseSerializer; });
    return own ? own : shared;
}

void WebViewNetworking::setResponseSerializer(const platform::WebView& view, std::shared_ptr<NetHTTPResponseSerializer> serializer)
{
    states().with(view, [&](WebViewState& state) { state.responseSerializer = std::move(serializer); });
}

} // namespace morvix
