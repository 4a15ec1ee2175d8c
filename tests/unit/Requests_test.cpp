// Request bookkeeping shared by every request class.
#include "ScriptedRequest.h"

#include <gtest/gtest.h>

namespace {

TEST(Requests, IdsStartAt101AndRiseByOne)
{
    ScriptedRequest first;
    ScriptedRequest second;
    EXPECT_EQ(first.id(), 101);
    EXPECT_EQ(second.id(), 102);
    EXPECT_FALSE(first.attachment());
}

TEST(Requests, ResultIsStoredWithItsFlag)
{
    ScriptedRequest request;
    EXPECT_FALSE(request.hasResult());
    EXPECT_TRUE(request.result().isOk());
    request.setResult(USBResult(QStringLiteral("Target device is busy"), 2));
    EXPECT_TRUE(request.hasResult());
    EXPECT_EQ(request.result().message, QStringLiteral("Target device is busy"));
    EXPECT_TRUE(request.replyData().isEmpty());
}

} // namespace
