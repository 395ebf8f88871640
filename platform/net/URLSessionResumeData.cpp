#include "platform/net/URLSessionResumeData.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace morvix::platform {

namespace {

constexpr const char* kURLKey = "URL";
constexpr const char* kPartialFileKey = "partialFile";
constexpr const char* kBytesReceivedKey = "bytesReceived";
constexpr const char* kEntityTagKey = "ETag";
constexpr const char* kLastModifiedKey = "Last-Modified";

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

std::optional<std::string> stringItem(plist_t dictionary, const char* key)
{
    plist_t item = plist_dict_get_item(dictionary, key);
    if (!item || plist_get_node_type(item) != PLIST_STRING)
        return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(item, &value);
    if (!value)
        return std::nullopt;
    std::string text(value);
    std::free(value);
    return text;
}

} // namespace

std::string URLSessionResumeData::encode() const
{
    PlistPointer dictionary(plist_new_dict());
    plist_dict_set_item(dictionary.get(), kURLKey, plist_new_string(url.absoluteString().c_str()));
    plist_dict_set_item(dictionary.get(), kPartialFileKey, plist_new_string(partialFilePath.c_str()));
    plist_dict_set_item(dictionary.get(), kBytesReceivedKey, plist_new_uint(static_cast<std::uint64_t>(bytesReceived)));
    if (entityTag)
        plist_dict_set_item(dictionary.get(), kEntityTagKey, plist_new_string(entityTag->c_str()));
    if (lastModified)
        plist_dict_set_item(dictionary.get(), kLastModifiedKey, plist_new_string(lastModified->c_str()));
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(dictionary.get(), &xml, &length);
    std::string text(xml ? xml : "", length);
    plist_to_xml_free(xml);
    return text;
}

std::optional<URLSessionResumeData> URLSessionResumeData::decode(const std::string& data)
{
    if (data.empty() || data.size() > 64 * 1024)
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_xml(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    PlistPointer dictionary(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    auto urlText = stringItem(root, kURLKey);
    auto path = stringItem(root, kPartialFileKey);
    plist_t count = plist_dict_get_item(root, kBytesReceivedKey);
    if (!urlText || !path || path->empty() || !count || plist_get_node_type(count) != PLIST_UINT)
        return std::nullopt;
    auto url = Url::parse(*urlText);
    if (!url || !url->isHTTP())
        return std::nullopt;
    std::uint64_t bytes = 0;
    plist_get_uint_val(count, &bytes);
    URLSessionResumeData decoded { *url, *path, static_cast<std::int64_t>(bytes), stringItem(root, kEntityTagKey),
        stringItem(root, kLastModifiedKey) };
    return decoded;
}

} // namespace morvix::platform
