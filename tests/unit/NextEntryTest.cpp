#include "discovery/DeviceFinder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
// Splits text as the worker does and returns the entries.
std::vector<std::string> Split(std::string text)
{
    std::vector<std::string> entries;
    char* pos = &text[0];
    do
    {
        char entry[CDeviceFinder::kEntrySize] = {};
        pos = CDeviceFinder::NextEntry(pos, entry);
        entries.push_back(entry);
    } while (pos);
    return entries;
}
}  // namespace

TEST(NextEntry, OneEntryThenTheTerminatorThenNull)
{
    char text[] = "192.168.1.20@";
    char entry[CDeviceFinder::kEntrySize] = {};
    char* next = CDeviceFinder::NextEntry(text, entry);
    EXPECT_STREQ("192.168.1.20", entry);
    ASSERT_EQ(text + 13, next);
    EXPECT_EQ('\0', *next);

    memset(entry, 'x', sizeof entry - 1);
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(next, entry));
    EXPECT_EQ(std::string(19, 'x'), entry);  // untouched
}

TEST(NextEntry, SplitsInOrderWithDuplicates)
{
    EXPECT_EQ(std::vector<std::string>({"10.0.0.1", "10.0.0.2", "10.0.0.1", ""}), Split("10.0.0.1@10.0.0.2@10.0.0.1@"));
}

TEST(NextEntry, ShortOrMissingTextGivesNullAndCopiesNothing)
{
    char entry[CDeviceFinder::kEntrySize] = "unchanged";
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(nullptr, entry));
    char shortText[] = "1.2@";
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(shortText, entry));
    char empty[] = "";
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(empty, entry));
    EXPECT_STREQ("unchanged", entry);
}

TEST(NextEntry, TextWithoutSeparatorIsCopiedWholeAndEnds)
{
    char text[] = "10.0.0.9";
    char entry[CDeviceFinder::kEntrySize] = {};
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(text, entry));
    EXPECT_STREQ("10.0.0.9", entry);
}

TEST(NextEntry, NeverWritesPastTheEntryBuffer)
{
    std::string text(40, '7');
    text += "@";
    char guarded[CDeviceFinder::kEntrySize + 8];
    memset(guarded, 0, CDeviceFinder::kEntrySize);
    memset(guarded + CDeviceFinder::kEntrySize, 'G', 8);
    char* next = CDeviceFinder::NextEntry(&text[0], guarded);
    EXPECT_EQ(&text[0] + 41, next);
    EXPECT_EQ(std::string(19, '7'), std::string(guarded));
    EXPECT_EQ(std::string(8, 'G'), std::string(guarded + CDeviceFinder::kEntrySize, 8));
}
