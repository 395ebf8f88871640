#include "platform/net/ServerTrust.h"

#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace morvix::platform;
using namespace morvix::testing;

namespace {

bool trustedByTheSystemAnchors(const TestPKI& pki)
{
    auto trust = ServerTrust::create({ Certificate::fromDER(pki.leaf.der), Certificate::fromDER(pki.intermediate.der) }, TrustPolicy::ssl("localhost"));
    TrustResult result;
    return trust->evaluate(result) == 0 && result == TrustResult::Unspecified;
}

} // namespace

TEST(ServerTrustTest, SystemAnchorsAreReadOnceAndAgainOnlyWhenTheirVariablesChange)
{
    const auto& pki = TestPKI::shared();
    auto anchors = writeTemporaryFile("anchors.pem", pki.root.pem);
    setenv("SSL_CERT_FILE", anchors.c_str(), 1);
    EXPECT_TRUE(trustedByTheSystemAnchors(pki));

    // The file changes under the same name: the anchors already read still hold.
    std::ofstream(anchors, std::ios::trunc) << pki.otherRoot.pem;
    EXPECT_TRUE(trustedByTheSystemAnchors(pki));

    // Another file is read at once, and so is the first one named again.
    setenv("SSL_CERT_FILE", writeTemporaryFile("other-anchors.pem", pki.otherRoot.pem).c_str(), 1);
    EXPECT_FALSE(trustedByTheSystemAnchors(pki));
    setenv("SSL_CERT_FILE", TestPKI::shared().rootFile.c_str(), 1);
    EXPECT_TRUE(trustedByTheSystemAnchors(pki));
    setenv("SSL_CERT_DIR", temporaryDirectory().c_str(), 1);
    EXPECT_TRUE(trustedByTheSystemAnchors(pki));
    unsetenv("SSL_CERT_DIR");
    unsetenv("SSL_CERT_FILE");
    EXPECT_FALSE(trustedByTheSystemAnchors(pki));
}
