#pragma once
// Bodies and responses as the response serializer tests make them.

#include "platform/net/HTTPURLResponse.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace morvix::testing {

/// The bytes of tests/networking/fixtures/`name`; empty when there is no such file.
inline std::string fixture(const std::string& name)
{
    auto path = std::filesystem::absolute(std::filesystem::path(__FILE__)).parent_path() / "fixtures" / name;
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

/// A loopback HTTP response with `status` and `contentType` as its Content-Type header.
inline std::shared_ptr<const platform::URLResponse> responseWithContentType(int status, const std::string& contentType)
{
    platform::HTTPHeaders headers;
    headers.set("Content-Type", contentType);
    return platform::HTTPURLResponse::create(platform::Url::parse("http://127.0.0.1/body"), status, headers);
}

} // namespace morvix::testing
