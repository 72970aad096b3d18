#include "core/platform.h"

#include <gtest/gtest.h>

TEST(PlatformTable, RawValuesRoundTripAndAreCaseSensitive) {
    ASSERT_EQ(Platform::allCases().size(), 16);
    for (Platform platform : Platform::allCases()) {
        const auto back = Platform::fromRawValue(platform.rawValue());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->value(), platform.value());
    }
    EXPECT_FALSE(Platform::fromRawValue(u"Bilibili").has_value());
    EXPECT_FALSE(Platform::fromRawValue(u"").has_value());
    EXPECT_EQ(Platform(Platform::twitter).name(), QStringLiteral("X"));
    EXPECT_EQ(Platform(Platform::twitter).rawValue(), QStringLiteral("twitter"));
}
