#pragma once
// Security policies as the tests of the HTTP layer make them.

#include "networking/NetSecurityPolicy.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::testing {

/// A policy with every setting given, and `pinned` (DER certificates) as its pinned list.
inline std::shared_ptr<NetSecurityPolicy> makePolicy(NetSSLPinningMode mode, bool allowInvalid, bool validatesDomain,
    std::vector<std::string> pinned = {})
{
    auto made = NetSecurityPolicy::create();
    made->setSSLPinningMode(mode);
    made->setAllowInvalidCertificates(allowInvalid);
    made->setValidatesDomainName(validatesDomain);
    made->setPinnedCertificates(std::move(pinned));
    return made;
}

} // namespace morvix::testing
