// The program's own resources, read from ConnSetup.exe as data.
#include "res/resource.h"
#include "Images.h"
#include "res/langids.h"
#include "version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
class ResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hExe = ::LoadLibraryExA((ImageDir() + "ConnSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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

// The controls that follow the header of an extended template.
std::vector<Item> ReadItems(TemplateReader& r, WORD count)
{
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
    return items;
}

// The dialog's font at a scale, and its dialog units in pixels, as the
// dialog manager computes them.
class DialogFont
{
public:
    explicit DialogFont(int dpi)
        : m_dpi(dpi),
          m_hdc(::CreateCompatibleDC(nullptr)),
          m_hFont(::CreateFontW(-::MulDiv(10, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                L"Microsoft Sans Serif")),
          m_hOld(::SelectObject(m_hdc, m_hFont))
    {
        SIZE size{};
        ::GetTextExtentPoint32W(m_hdc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
        m_baseX = (size.cx / 26 + 1) / 2;
    }
    ~DialogFont()
    {
        ::SelectObject(m_hdc, m_hOld);
        ::DeleteObject(m_hFont);
        ::DeleteDC(m_hdc);
    }
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    int Pixels(int dialogUnitsX) const { return ::MulDiv(dialogUnitsX, m_baseX, 4); }
    int Scaled(int pixelsAt96) const { return ::MulDiv(pixelsAt96, m_dpi, 96); }
    // One line of text as a control draws it ('&' marks a mnemonic).
    int TextWidth(const std::wstring& text) const
    {
        RECT rc{0, 0, 0, 0};
        ::DrawTextW(m_hdc, text.c_str(), -1, &rc, DT_CALCRECT | DT_SINGLELINE);
        return rc.right - rc.left;
    }

private:
    int m_dpi;
    HDC m_hdc;
    HFONT m_hFont;
    HGDIOBJ m_hOld;
    int m_baseX = 0;
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

    const std::vector<Item> items = ReadItems(r, count);
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

    // Icon group 128 holds every size Windows asks for from 100 % to 200 %
    // scaling (0 stands for 256).
    const BYTE* group = Find(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, 128);
    ASSERT_NE(nullptr, group);
    WORD images;
    memcpy(&images, group + 4, 2);
    std::vector<int> sizes;
    for (WORD i = 0; i < images; ++i)
        sizes.push_back(group[6 + 14 * i] ? group[6 + 14 * i] : 256);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(std::vector<int>({16, 20, 24, 32, 40, 48, 64, 256}), sizes);

    DWORD size = 0;
    const BYTE* version = Find(MAKEINTRESOURCEA(16) /* RT_VERSION */, 1, &size);
    ASSERT_NE(nullptr, version);
    std::vector<BYTE> copy(version, version + size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&info), &length));
    // The build's one version, 1.0.0.8 today.
    const WORD kVersion[] = {CONNSETUP_VERSION_BINARY};
    EXPECT_EQ(MAKELONG(kVersion[1], kVersion[0]), info->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(kVersion[3], kVersion[2]), info->dwFileVersionLS);
    EXPECT_EQ(info->dwFileVersionMS, info->dwProductVersionMS);
    EXPECT_EQ(info->dwFileVersionLS, info->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), info->dwFileType);
}

TEST_F(ResourceTest, EveryCaptionOfEverySampleLibraryFitsItsControlAt100And150Percent)
{
    const BYTE* p = Find(MAKEINTRESOURCEA(5) /* RT_DIALOG */, IDD_CONNSETUP);
    ASSERT_NE(nullptr, p);
    TemplateReader r(p);  // the header's fields, up to the font name
    r.Word();
    r.Word();
    r.Dword();
    r.Dword();
    r.Dword();
    const WORD count = r.Word();
    for (int i = 0; i < 4; ++i)
        r.Short();
    r.SzOrOrd();
    r.SzOrOrd();
    r.SzOrOrd();
    r.Word();
    r.Word();
    r.Byte();
    r.Byte();
    EXPECT_EQ("Microsoft Sans Serif", r.SzOrOrd());
    const std::vector<Item> items = ReadItems(r, count);
    auto widthOf = [&](DWORD id)
    {
        for (const Item& item : items)
            if (item.id == id)
                return static_cast<int>(item.cx);
        return 0;
    };

    // Text number, control, and the room the control keeps for itself at 96 DPI.
    const struct
    {
        UINT text;
        DWORD id;
        int frame;
    } captions[] = {{IDS_SELECT_DEVICE, IDC_SELECT_LABEL, 0},
                    {IDS_OK, IDC_OK_BTN, 6},
                    {IDS_DISCOVER, IDC_DISCOVER, 6},
                    {IDS_CANCEL, IDC_CANCEL_BTN, 6},
                    {IDS_USB, IDC_USB_CHECK, 17}};
    // Texts read in UTF-16, so the Japanese library measures right in any code page.
    for (const char* library : {"ENG.dll", "DEU.dll", "FRA.dll", "JPN.dll"})
    {
        const HMODULE hLib = ::LoadLibraryExA((ImageDir() + library).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, hLib) << library;
        for (int dpi : {96, 144})
        {
            const DialogFont font(dpi);
            for (const auto& c : captions)
            {
                const wchar_t* text = nullptr;
                const int length = ::LoadStringW(hLib, c.text, reinterpret_cast<LPWSTR>(&text), 0);
                ASSERT_GT(length, 0) << library << " text " << c.text;
                const int needed =
                    font.TextWidth(std::wstring(text, static_cast<size_t>(length))) + font.Scaled(c.frame);
                EXPECT_LE(needed, font.Pixels(widthOf(c.id)))
                    << library << " text " << c.text << " at " << dpi * 100 / 96 << " %";
            }
        }
        ::FreeLibrary(hLib);
    }
}
