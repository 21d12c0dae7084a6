#include "framework/Sockets.h"

#include <gtest/gtest.h>

namespace
{
// What the fake socket layer grants, and what it was asked.
int g_result;
WORD g_granted;
WORD g_requested;
int g_cleanups;

int PASCAL FakeStartup(WORD requested, LPWSADATA data)
{
    g_requested = requested;
    data->wVersion = g_granted;
    data->wHighVersion = g_granted;
    return g_result;
}

int PASCAL FakeCleanup()
{
    ++g_cleanups;
    return 0;
}

bool StartWith(int result, WORD granted)
{
    g_result = result;
    g_granted = granted;
    g_requested = 0;
    g_cleanups = 0;
    return AfxSocketInit(FakeStartup, FakeCleanup);
}
}  // namespace

TEST(AfxSocketInit, AsksForOnePointOneAndKeepsTheLayerWhenGrantedExactly)
{
    EXPECT_TRUE(StartWith(0, MAKEWORD(1, 1)));
    EXPECT_EQ(0x0101, g_requested);
    EXPECT_EQ(0, g_cleanups);
}

TEST(AfxSocketInit, ReleasesALayerThatGrantedAnotherVersion)
{
    EXPECT_FALSE(StartWith(0, MAKEWORD(1, 0)));
    EXPECT_EQ(1, g_cleanups);
    EXPECT_FALSE(StartWith(0, MAKEWORD(2, 2)));
    EXPECT_EQ(1, g_cleanups);
    EXPECT_FALSE(StartWith(0, MAKEWORD(2, 1)));
    EXPECT_EQ(1, g_cleanups);
}

TEST(AfxSocketInit, ReleasesNothingWhenTheRequestFailed)
{
    EXPECT_FALSE(StartWith(WSAVERNOTSUPPORTED, MAKEWORD(1, 1)));
    EXPECT_EQ(0, g_cleanups);
}

TEST(AfxSocketInit, TheRealLayerGrantsOnePointOne)
{
    ASSERT_TRUE(AfxSocketInit());
    WSACleanup();
}

TEST(SocketErrorText, TheSystemsWordsAfterTheNumberOrTheNumberAlone)
{
    // Wine 8 has words for this one (not for 10051, which Windows has).
    const std::string reset = SocketErrorText(WSAECONNRESET);
    ASSERT_EQ(0u, reset.find("Windows Sockets error 10054: ")) << reset;
    // As the system says them: Wine's sentence starts with a capital, and
    // so do German nouns, which no lower-casing may touch.
    const std::string words = reset.substr(29);
    EXPECT_TRUE(words.size() > 5 && words[0] >= 'A' && words[0] <= 'Z') << reset;
    EXPECT_EQ(std::string::npos, words.find_first_of(".\r\n")) << "one clause of a line: " << reset;
    EXPECT_EQ("Windows Sockets error 987654", SocketErrorText(987654));
}
