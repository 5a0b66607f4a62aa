// The certificate display file on Windows: in the user's temporary folder, written only where
// no file is, removed before the next display.

#include "ui/cards/CertificateFile.h"

#include "core/folders/PathUtil.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/platform/ScopedTempFolder.h"

#include <gtest/gtest.h>

namespace
{
TEST(CertificateFileWindows, WrittenWholeOnlyWhereNoFileIsAndRemovedForTheNext)
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
    environment.Set("TEMP", folder.Path().string());
    EXPECT_EQ(PrivateTempFolder(), folder.Path().string());

    const std::string path = JoinPath(PrivateTempFolder(), "quendrycards_cert.cer");
    const ByteVector der = {0x30, 0x82, 0x00, 0x0D, 0x0A, 0x1A, 0xFF};
    ASSERT_TRUE(WriteNewFile(path, der));
    EXPECT_EQ(ReadTextFile(path), std::string(der.begin(), der.end()));

    // The viewer of the last display may hold the file; an existing file is never written into.
    EXPECT_FALSE(WriteNewFile(path, ByteVector{1, 2, 3}));
    EXPECT_EQ(ReadTextFile(path), std::string(der.begin(), der.end()));

    RemoveFile(path);
    ASSERT_TRUE(WriteNewFile(path, ByteVector{1, 2, 3}));
    EXPECT_EQ(ReadTextFile(path), "\x01\x02\x03");

    EXPECT_FALSE(WriteNewFile(JoinPath(folder.File("missing"), "x.cer"), der));
}
} // namespace
