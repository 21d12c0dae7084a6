#include "framework/ProgramDir.h"

#include <gtest/gtest.h>

TEST(DirectoryOf, KeepsEverythingUpToTheLastBackslash)
{
    EXPECT_EQ("C:\\Scanner\\", DirectoryOf("C:\\Scanner\\ConnSetup.exe"));
    EXPECT_EQ("C:\\a\\b\\", DirectoryOf("C:\\a\\b\\"));
    EXPECT_EQ("\\\\server\\share\\", DirectoryOf("\\\\server\\share\\x.exe"));
    EXPECT_EQ("", DirectoryOf("ConnSetup.exe"));
    EXPECT_EQ("", DirectoryOf(""));
}

TEST(DirectoryOf, StepsOverDoubleByteCharactersWhoseTrailByteIsABackslash)
{
    // In code page 932, 0x95 0x5C is one character; its second byte is no separator.
    const std::string path = "C:\\\x95\x5c\\ConnSetup\x95\x5c.exe";
    EXPECT_EQ("C:\\\x95\x5c\\", DirectoryOf(path, 932));
    // Read as single bytes, the trail byte would have been taken for the separator.
    EXPECT_EQ("C:\\\x95\x5c\\ConnSetup\x95\x5c", DirectoryOf(path, 1252));
    // A directory ending in such a character keeps the character whole.
    EXPECT_EQ("C:\\\x95\x5c\\", DirectoryOf("C:\\\x95\x5c\\\x95\x5c", 932));
}
