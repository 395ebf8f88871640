// The request counter's rules and the transport's pure decisions: combined errors and the
// server identity check.

#include "core/outgoing/RequestCounter.h"
#include "core/session/ProtocolTransport.h"
#include "networking/NetURLResponseSerialization.h"
#include "platform/net/HTTPURLResponse.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

TEST(RequestCounterTest, ValueMarksUsedOnlyWhenACounterWasAnnounced)
{
    RequestCounter counter;
    EXPECT_EQ(counter.value(), -1);
    EXPECT_FALSE(counter.isUsed());
    EXPECT_FALSE(counter.isInitialized());
    counter.setValue(0);
    EXPECT_TRUE(counter.isInitialized());
    EXPECT_EQ(counter.value(), 0);
    EXPECT_TRUE(counter.isUsed());
}

TEST(RequestCounterTest, NeverGoesBackAndAnEqualValueClearsUsed)
{
    RequestCounter counter;
    counter.setValue(5);
    counter.value();
    counter.setValue(4);
    EXPECT_TRUE(counter.isUsed());
    EXPECT_EQ(counter.value(), 5);
    counter.setValue(5);
    EXPECT_FALSE(counter.isUsed());
    counter.setValue(6);
    EXPECT_EQ(counter.value(), 6);
    counter.reset();
    EXPECT_FALSE(counter.isInitialized());
    EXPECT_FALSE(counter.isUsed());
}

TEST(ProtocolTransportTest, ErrorsOfDifferentDomainsCombineWithARefusedStatusInFront)
{
    platform::Error reader("com.zerivoquastel.morvix", 3, "Server Response", "Response could not be parsed.");
    platform::Error status(NetURLResponseSerializationErrorDomain, NetURLErrorBadServerResponse, "Request failed: internal server error (500)");
    auto combined = ProtocolTransport::computeError(status, reader);
    ASSERT_TRUE(combined);
    EXPECT_TRUE(combined->is("com.zerivoquastel.morvix", -1011));
    EXPECT_EQ(combined->description(), "Request failed: internal server error (500)");
    EXPECT_EQ(combined->failureReason(), "Response could not be parsed.");

    platform::Error timedOut("NSURLErrorDomain", -1001, "The request timed out.");
    combined = ProtocolTransport::computeError(timedOut, reader);
    ASSERT_TRUE(combined);
    EXPECT_TRUE(combined->is("com.zerivoquastel.morvix", -1001));
    EXPECT_EQ(combined->description(), "Response could not be parsed.");
    EXPECT_EQ(combined->failureReason(), "The request timed out.");
}

TEST(ProtocolTransportTest, OneErrorOrTheSameDomainKeepsTheReadersOrTheHTTPError)
{
    platform::Error http("com.zerivoquastel.morvix", 500, "http");
    platform::Error reader("com.zerivoquastel.morvix", 2, "reader");
    EXPECT_FALSE(ProtocolTransport::computeError(std::nullopt, std::nullopt));
    EXPECT_EQ(ProtocolTransport::computeError(http, reader)->code(), 2);
    EXPECT_EQ(ProtocolTransport::computeError(std::nullopt, reader)->code(), 2);
    EXPECT_EQ(ProtocolTransport::computeError(http, std::nullopt)->code(), 500);
}

TEST(ProtocolTransportTest, ServerIdentityMustMatchExactly)
{
    platform::HTTPHeaders with;
    with.set("Com.Zerivoquastel.Morvix.Server.Id", "abc");
    auto identified = platform::HTTPURLResponse::create(std::nullopt, 200, with);
    auto anonymous = platform::HTTPURLResponse::create(std::nullopt, 200, {});

    EXPECT_FALSE(ProtocolTransport::verifyServerOf(anonymous.get(), std::nullopt));
    EXPECT_FALSE(ProtocolTransport::verifyServerOf(identified.get(), std::string("abc")));
    for (auto mismatch : { ProtocolTransport::verifyServerOf(identified.get(), std::string("ABC")),
             ProtocolTransport::verifyServerOf(identified.get(), std::nullopt),
             ProtocolTransport::verifyServerOf(anonymous.get(), std::string("abc")) }) {
        ASSERT_TRUE(mismatch);
        EXPECT_TRUE(mismatch->is("com.zerivoquastel.morvix", 417));
        EXPECT_EQ(mismatch->description(), "Unauthorized Access");
    }
}

} // namespace
} // namespace morvix
