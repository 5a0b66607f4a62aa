// Where the registry is a file: a store that cannot be written.

#include "tests/core/config/ConfigTestSupport.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/platform/ScopedTempFolder.h"

namespace
{
TEST_F(ConfigTest, WritingWhereTheStoreCannotBeWrittenIsAccessDenied)
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
    const std::string blocker = folder.File("blocker");
    WriteTextFile(blocker, "x");
    environment.Set("QUENDRY_REGISTRY_DIR", blocker + "/registry");

    EXPECT_FALSE(Backend().SetInteger(Entry(15), 1));
    EXPECT_FALSE(Backend().SetString(Entry(17), "x"));
    EXPECT_FALSE(Backend().RemovePath(Entry(15)));
    EXPECT_EQ(HookTexts(),
              std::vector<std::string>(3, "Error RegCreateKeyExA ERROR_ACCESS_DENIED"));
}
} // namespace
