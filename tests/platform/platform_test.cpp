#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Platform.h"

namespace platform = tesora::platform;

TEST(Platform, EnvironmentKeepsOrOverwrites) {
    platform::SetEnvironment("TESORA_PLATFORM_TEST", "one", true);
    platform::SetEnvironment("TESORA_PLATFORM_TEST", "two", false);
    EXPECT_STREQ(std::getenv("TESORA_PLATFORM_TEST"), "one");
    platform::SetEnvironment("TESORA_PLATFORM_TEST", "three", true);
    EXPECT_STREQ(std::getenv("TESORA_PLATFORM_TEST"), "three");
}

TEST(Platform, ChildProcessStatusAndTerminals) {
    double cpu = 0.0;
    EXPECT_EQ(platform::RunDiscardingOutput("/bin/sh", {"-c", "echo hidden; exit 3"}, &cpu), 3);
    const int missing = platform::RunDiscardingOutput("/nonexistent/program", {}, &cpu);
    EXPECT_TRUE(missing == -1 || missing == 127) << missing;  // POSIX allows either
    EXPECT_GE(cpu, 0.0);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(platform::IsTerminal(file));
    std::fclose(file);
    EXPECT_FALSE(platform::ExecutableDirectory().empty());
}
