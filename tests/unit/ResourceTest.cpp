// The program's own resources, read from ConnSetup.exe as data.
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class ResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hExe = ::LoadLibraryExA((TestExeDir() + "ConnSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, m_hExe);
    }
    void TearDown() override { ::FreeLibrary(m_hExe); }

    const BYTE* Find(LPCSTR type, int id, DWORD* size = nullptr) const
    {
        HRSRC hRes = ::FindResourceA(m_hExe, MAKEINTRESOURCEA(id), type);
        if (!hRes)
            return nullptr;
        if (size)
            *size = ::SizeofResource(m_hExe, hRes);
        return static_cast<const BYTE*>(::LockResource(::LoadResource(m_hExe, hRes)));
    }

    HMODULE m_hExe = nullptr;
};

// Reads the parts of an extended dialog template in order.
class TemplateReader
{
public:
    explicit TemplateReader(const BYTE* p)
        : m_p(p)
    {
    }
    WORD Word()
    {
        WORD w;
        memcpy(&w, m_p, 2);
        m_p += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD d;
        memcpy(&d, m_p, 4);
        m_p += 4;
        return d;
    }
    BYTE Byte() { return *m_p++; }
    short Short() { return static_cast<short>(Word()); }
    // A string, or "#n" for an ordinal.
    std::string SzOrOrd()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string s;
        for (WORD c = first; c; c = Word())
            s += static_cast<char>(c < 0x80 ? c : '?');
        return s;
    }
    void AlignDword()
    {
        while (reinterpret_cast<UINT_PTR>(m_p) % 4)
            ++m_p;
    }

private:
    const BYTE* m_p;
};

// A control class by name, whether the template holds its name or its ordinal.
std::string ClassName(std::string cls)
{
    if (cls == "#128")
        return "BUTTON";
    if (cls == "#130")
        return "STATIC";
    if (cls == "#133")
        return "COMBOBOX";
    for (char& c : cls)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return cls;
}

struct Item
{
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    std::string cls;
    std::string text;
};
}  // namespace

TEST_F(ResourceTest, DialogTemplateIsExactlyAsDesigned)
{
    const BYTE* p = Find(MAKEINTRESOURCEA(5) /* RT_DIALOG */, 102);
    ASSERT_NE(nullptr, p);
    TemplateReader r(p);
    EXPECT_EQ(1, r.Word());       // dlgVer
    EXPECT_EQ(0xFFFF, r.Word());  // an extended template
    r.Dword();                    // helpID
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), r.Dword());
    const DWORD style = r.Dword();
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION), style);
    const WORD count = r.Word();
    EXPECT_EQ(0, r.Short());
    EXPECT_EQ(0, r.Short());
    EXPECT_EQ(149, r.Short());
    EXPECT_EQ(64, r.Short());
    EXPECT_EQ("", r.SzOrOrd());  // no menu
    EXPECT_EQ("", r.SzOrOrd());  // the standard dialog class
    EXPECT_EQ("Velmora", r.SzOrOrd());
    EXPECT_EQ(10, r.Word());
    EXPECT_EQ(0, r.Word());  // weight
    EXPECT_EQ(0, r.Byte());  // italic
    EXPECT_EQ(DEFAULT_CHARSET, r.Byte());
    EXPECT_EQ("Microsoft Sans Serif", r.SzOrOrd());

    std::vector<Item> items;
    for (WORD i = 0; i < count; ++i)
    {
        r.AlignDword();
        Item item{};
        r.Dword();  // helpID
        r.Dword();  // exStyle
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Dword();
        item.cls = r.SzOrOrd();
        item.text = r.SzOrOrd();
        const WORD extra = r.Word();
        for (WORD b = 0; b < extra; ++b)
            r.Byte();
        items.push_back(item);
    }
    ASSERT_EQ(7u, items.size());
    const DWORD child = WS_CHILD;
    const struct
    {
        DWORD id;
        std::string cls, text;
        short x, y, cx, cy;
        DWORD style;
    } expected[] = {
        {522, "BUTTON", "OK", 94, 7, 48, 16, child | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
        {518, "BUTTON", "Discover", 94, 24, 48, 16, child | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
        {519, "BUTTON", "Cancel", 94, 41, 48, 16, child | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
        {30, "COMBOBOX", "", 7, 19, 82, 95, child | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
        {538, "BUTTON", "USB...", 7, 37, 40, 9, child | WS_TABSTOP | BS_AUTOCHECKBOX},
        {520, "STATIC", "Select Device:...", 7, 6, 82, 12, child | WS_VISIBLE | WS_GROUP | SS_LEFT},
        {1000, "BUTTON", "&Do not show every time....", 7, 48, 84, 10, child | BS_AUTOCHECKBOX},
    };
    for (size_t i = 0; i < items.size(); ++i)
    {
        SCOPED_TRACE("control " + std::to_string(expected[i].id));
        const Item& item = items[i];
        EXPECT_EQ(expected[i].id, item.id);
        EXPECT_EQ(expected[i].cls, ClassName(item.cls));
        EXPECT_EQ(expected[i].text, item.text);
        EXPECT_EQ(expected[i].x, item.x);
        EXPECT_EQ(expected[i].y, item.y);
        EXPECT_EQ(expected[i].cx, item.cx);
        EXPECT_EQ(expected[i].cy, item.cy);
        EXPECT_EQ(expected[i].style, item.style);
    }
}

TEST_F(ResourceTest, StringIconAndVersion)
{
    char text[128] = {};
    EXPECT_GT(::LoadStringA(m_hExe, 103, text, sizeof text), 0);
    EXPECT_STREQ("Windows sockets initialization failed.", text);

    // Icon group 128 holds a 32 and a 16 pixel image.
    const BYTE* group = Find(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, 128);
    ASSERT_NE(nullptr, group);
    WORD images;
    memcpy(&images, group + 4, 2);
    std::vector<int> sizes;
    for (WORD i = 0; i < images; ++i)
        sizes.push_back(group[6 + 14 * i]);
    EXPECT_EQ(std::vector<int>({32, 16}), sizes);

    DWORD size = 0;
    const BYTE* version = Find(MAKEINTRESOURCEA(16) /* RT_VERSION */, 1, &size);
    ASSERT_NE(nullptr, version);
    std::vector<BYTE> copy(version, version + size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(MAKELONG(0, 1), info->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(8, 0), info->dwFileVersionLS);
    EXPECT_EQ(info->dwFileVersionMS, info->dwProductVersionMS);
    EXPECT_EQ(info->dwFileVersionLS, info->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), info->dwFileType);
}
