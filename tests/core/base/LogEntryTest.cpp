#include "core/base/LogEntry.h"
#include "core/objects/RemoteException.h"

#include <gtest/gtest.h>

using namespace morvix;

TEST(LogEntryTest, FactoriesGiveTheirTypeAndNoEntryForNoMessage)
{
    EXPECT_EQ(LogEntry::entryWithMessage("m")->type(), LogEntry::Type::Log);
    EXPECT_EQ(LogEntry::entryWithInfo("m")->type(), LogEntry::Type::Info);
    EXPECT_EQ(LogEntry::entryWithWarning("m")->type(), LogEntry::Type::Warning);
    EXPECT_EQ(LogEntry::entryWithError("m")->type(), LogEntry::Type::Error);
    EXPECT_EQ(LogEntry::entryWithDebug("m")->type(), LogEntry::Type::Debug);
    EXPECT_EQ(static_cast<unsigned>(LogEntry::Type::Debug), 5u);
    EXPECT_FALSE(LogEntry::entryWithWarning(std::nullopt).has_value());
    EXPECT_EQ(LogEntry::entryWithInfo("")->message(), "");
}

TEST(LogEntryTest, EntriesAreEqualOnlyWithTheSameTypeAndText)
{
    auto warning = *LogEntry::entryWithWarning("text");
    EXPECT_TRUE(warning.isEqualToLogEntry(warning));
    EXPECT_TRUE(warning.isEqualToLogEntry(LogEntry("text", LogEntry::Type::Warning)));
    EXPECT_FALSE(warning.isEqualToLogEntry(*LogEntry::entryWithError("text")));
    EXPECT_FALSE(warning.isEqualToLogEntry(*LogEntry::entryWithWarning("other")));
}

TEST(RemoteExceptionTest, FactoriesFormatTheReasonAndKeepUserInformation)
{
    auto incorrect = RemoteException::incorrectParameterExceptionWithFormat("Widget %@ property %@ got %ld", "w1",
        "text", 5L);
    EXPECT_EQ(incorrect.name(), "Incorrect Parameter");
    EXPECT_EQ(incorrect.reason(), "Widget w1 property text got 5");
    EXPECT_TRUE(incorrect.userInfo().is_null());
    EXPECT_TRUE(incorrect.isIncorrectParameter());

    auto named = RemoteException::exceptionWithNameAndUserInfo("Custom", { { "key", 1 } }, "%@ of %@", "a", nullptr);
    EXPECT_EQ(named.name(), "Custom");
    EXPECT_EQ(named.reason(), "a of (null)");
    EXPECT_EQ(named.userInfo(), platform::Value({ { "key", 1 } }));

    EXPECT_THROW(RemoteException::throwIncorrectParameter("x"), platform::Exception);
}
