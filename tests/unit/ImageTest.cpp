// The shipped programs as Windows sees them before their first line runs:
// the manifest that decides elevation, scaling and the controls' look, the
// libraries the loader must find, and the layout that allows ASLR and NX.
#include "Images.h"
#include "version.h"

#include <msxml2.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace
{
const char* const kPrograms[] = {"ConnSetup.exe", "connscan.exe"};

// IXMLDOMDocument2, which the import libraries do not define.
const IID kIidDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += static_cast<char>(*text < 0x80 ? *text : '?');
    return out;
}

std::string ManifestOf(const std::string& exe)
{
    const HMODULE hExe = ::LoadLibraryExA((ImageDir() + exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::string text;
    if (const HRSRC hRes = hExe ? ::FindResourceA(hExe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)) : nullptr)
        text.assign(static_cast<const char*>(::LockResource(::LoadResource(hExe, hRes))), ::SizeofResource(hExe, hRes));
    if (hExe)
        ::FreeLibrary(hExe);
    return text;
}

// The manifest parsed by the system's XML parser, queried by XPath.
class Manifest
{
public:
    explicit Manifest(const std::string& text)
    {
        ::CoInitialize(nullptr);
        CLSID clsid;
        if (FAILED(::CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid)) ||
            FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                                      reinterpret_cast<void**>(&m_doc))))
        {
            m_error = "no XML parser";
            return;
        }
        SetProperty(L"SelectionLanguage", L"XPath");
        SetProperty(L"SelectionNamespaces",
                    L"xmlns:a='urn:schemas-microsoft-com:asm.v1' xmlns:v3='urn:schemas-microsoft-com:asm.v3' "
                    L"xmlns:c='urn:schemas-microsoft-com:compatibility.v1' "
                    L"xmlns:w5='http://schemas.microsoft.com/SMI/2005/WindowsSettings' "
                    L"xmlns:w16='http://schemas.microsoft.com/SMI/2016/WindowsSettings'");
        m_doc->put_async(VARIANT_FALSE);
        BSTR xml = ::SysAllocString(Wide(text).c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        m_doc->loadXML(xml, &loaded);
        ::SysFreeString(xml);
        if (loaded != VARIANT_TRUE)
        {
            IXMLDOMParseError* error = nullptr;
            BSTR reason = nullptr;
            if (SUCCEEDED(m_doc->get_parseError(&error)) && error && SUCCEEDED(error->get_reason(&reason)))
                m_error = Narrow(reason);
            ::SysFreeString(reason);
            if (error)
                error->Release();
            if (m_error.empty())
                m_error = "not well-formed";
        }
    }
    ~Manifest()
    {
        if (m_doc)
            m_doc->Release();
        ::CoUninitialize();
    }
    Manifest(const Manifest&) = delete;
    Manifest& operator=(const Manifest&) = delete;

    // Empty when the text is well-formed XML.
    const std::string& Error() const { return m_error; }

    // The texts of the nodes that path selects, in document order.
    std::vector<std::string> All(const std::string& path) const
    {
        std::vector<std::string> texts;
        IXMLDOMNodeList* list = nullptr;
        BSTR query = ::SysAllocString(Wide(path).c_str());
        if (m_doc && SUCCEEDED(m_doc->selectNodes(query, &list)) && list)
        {
            for (IXMLDOMNode* node = nullptr; list->nextNode(&node) == S_OK && node; node->Release())
            {
                BSTR text = nullptr;
                node->get_text(&text);
                texts.push_back(Narrow(text));
                ::SysFreeString(text);
            }
            list->Release();
        }
        ::SysFreeString(query);
        return texts;
    }
    // The one node's text; "(n nodes)" when path selects none or several.
    std::string One(const std::string& path) const
    {
        const std::vector<std::string> texts = All(path);
        return texts.size() == 1 ? texts[0] : "(" + std::to_string(texts.size()) + " nodes)";
    }

private:
    void SetProperty(const wchar_t* name, const wchar_t* value)
    {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(value);
        BSTR bName = ::SysAllocString(name);
        m_doc->setProperty(bName, v);
        ::SysFreeString(bName);
        ::VariantClear(&v);
    }

    IXMLDOMDocument2* m_doc = nullptr;
    std::string m_error;
};

// The parts of a PE file the loader reads first.
class PeFile
{
public:
    explicit PeFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (m_bytes.size() < sizeof(IMAGE_DOS_HEADER))
            return;
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        m_nt = dos ? At<IMAGE_NT_HEADERS32>(static_cast<size_t>(dos->e_lfanew)) : nullptr;
    }
    bool Valid() const { return m_nt && m_nt->Signature == IMAGE_NT_SIGNATURE; }
    bool Is64() const { return m_nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC; }
    WORD Machine() const { return m_nt->FileHeader.Machine; }
    WORD Subsystem() const { return Is64() ? Nt64()->OptionalHeader.Subsystem : m_nt->OptionalHeader.Subsystem; }
    WORD DllCharacteristics() const
    {
        return Is64() ? Nt64()->OptionalHeader.DllCharacteristics : m_nt->OptionalHeader.DllCharacteristics;
    }
    IMAGE_DATA_DIRECTORY Directory(int index) const
    {
        return Is64() ? Nt64()->OptionalHeader.DataDirectory[index] : m_nt->OptionalHeader.DataDirectory[index];
    }
    // The names of the DLLs in the import table, lower case.
    std::set<std::string> Imports() const
    {
        std::set<std::string> names;
        const size_t table = Offset(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
        for (size_t at = table; table && At<IMAGE_IMPORT_DESCRIPTOR>(at); at += sizeof(IMAGE_IMPORT_DESCRIPTOR))
        {
            const auto* import = At<IMAGE_IMPORT_DESCRIPTOR>(at);
            if (import->Name == 0)
                break;
            std::string name;
            for (size_t p = Offset(import->Name); p && p < m_bytes.size() && m_bytes[p]; ++p)
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(m_bytes[p])));
            names.insert(name);
        }
        return names;
    }

private:
    template <typename T>
    const T* At(size_t offset) const
    {
        return offset + sizeof(T) <= m_bytes.size() ? reinterpret_cast<const T*>(m_bytes.data() + offset) : nullptr;
    }
    const IMAGE_NT_HEADERS64* Nt64() const { return reinterpret_cast<const IMAGE_NT_HEADERS64*>(m_nt); }
    // The file offset of a relative virtual address, or 0.
    size_t Offset(DWORD rva) const
    {
        const size_t first = reinterpret_cast<const char*>(&m_nt->OptionalHeader) - m_bytes.data() +
                             m_nt->FileHeader.SizeOfOptionalHeader;
        for (WORD i = 0; i < m_nt->FileHeader.NumberOfSections; ++i)
        {
            const auto* section = At<IMAGE_SECTION_HEADER>(first + i * sizeof(IMAGE_SECTION_HEADER));
            if (section && rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        return 0;
    }

    std::string m_bytes;
    const IMAGE_NT_HEADERS32* m_nt = nullptr;
};
}  // namespace

TEST(Image, TheManifestAsksForNoElevationScalesItselfAndUsesTheSystemsStyle)
{
    for (const char* program : kPrograms)
    {
        SCOPED_TRACE(program);
        const std::string text = ManifestOf(program);
        ASSERT_FALSE(text.empty()) << "no manifest resource 1";
        const Manifest m(text);
        ASSERT_EQ("", m.Error()) << "Windows would refuse to start a program with this manifest";

        const std::string name = std::string(program).substr(0, std::string(program).rfind('.'));
        EXPECT_EQ(name, m.One("/a:assembly/a:assemblyIdentity/@name"));
        EXPECT_EQ(CONNSETUP_VERSION_TEXT, m.One("/a:assembly/a:assemblyIdentity/@version"));
        EXPECT_EQ(ImageArch(), m.One("/a:assembly/a:assemblyIdentity/@processorArchitecture"));

        const std::string level =
            "/a:assembly/v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel";
        EXPECT_EQ("asInvoker", m.One(level + "/@level"));
        EXPECT_EQ("false", m.One(level + "/@uiAccess"));

        EXPECT_EQ(std::vector<std::string>(
                      {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                       "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                       "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}),
                  m.All("/a:assembly/c:compatibility/c:application/c:supportedOS/@Id"))
            << "Vista, 7, 8, 8.1, 10 and 11";

        const std::string settings = "/a:assembly/v3:application/v3:windowsSettings";
        EXPECT_EQ("true", m.One(settings + "/w5:dpiAware"));
        EXPECT_EQ("PerMonitorV2, System", m.One(settings + "/w16:dpiAwareness"));

        const std::string controls = "/a:assembly/a:dependency/a:dependentAssembly/"
                                     "a:assemblyIdentity[@name='Microsoft.Windows.Common-Controls']";
        EXPECT_EQ("6.0.0.0", m.One(controls + "/@version"));
        EXPECT_EQ("6595b64144ccf1df", m.One(controls + "/@publicKeyToken"));
        EXPECT_EQ("win32", m.One(controls + "/@type"));
    }
}

TEST(Image, AMalformedManifestIsCaught)
{
    EXPECT_NE("", Manifest("<assembly xmlns='urn:schemas-microsoft-com:asm.v1'><trustInfo></assembly>").Error());
}

TEST(Image, RightMachineAndSubsystemOnlyKnownDllsAndALayoutForAslrAndNx)
{
    const WORD machine = ImageArch() == "amd64" ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    for (const char* library : {"ENG.dll", "DEU.dll", "FRA.dll", "JPN.dll"})
    {
        const PeFile pe(ImageDir() + library);
        ASSERT_TRUE(pe.Valid()) << library;
        EXPECT_EQ(machine, pe.Machine()) << library;
    }
    // HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of
    // Windows 10 and 11: always loaded from the system folder.
    const std::set<std::string> known = {
        "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comdlg32.dll", "coml2.dll",   "difxapi.dll", "gdi32.dll",
        "gdiplus.dll",  "imagehlp.dll", "imm32.dll",    "kernel32.dll", "msctf.dll",   "msvcrt.dll",  "normaliz.dll",
        "nsi.dll",      "ole32.dll",    "oleaut32.dll", "psapi.dll",    "rpcrt4.dll",  "sechost.dll", "setupapi.dll",
        "shcore.dll",   "shell32.dll",  "shlwapi.dll",  "user32.dll",   "wldap32.dll", "ws2_32.dll",  "ntdll.dll"};
    for (const char* program : kPrograms)
    {
        SCOPED_TRACE(program);
        const PeFile pe(ImageDir() + program);
        ASSERT_TRUE(pe.Valid());
        EXPECT_EQ(machine, pe.Machine());
        EXPECT_EQ(program == std::string("connscan.exe") ? IMAGE_SUBSYSTEM_WINDOWS_CUI : IMAGE_SUBSYSTEM_WINDOWS_GUI,
                  pe.Subsystem());
        const std::set<std::string> imports = pe.Imports();
        EXPECT_TRUE(imports.count("kernel32.dll")) << "the import table was not read";
        const bool sideBySide = ManifestOf(program).find("Microsoft.Windows.Common-Controls") != std::string::npos;
        for (const std::string& dll : imports)
        {
            // The manifest's side-by-side redirection names the one comctl32 to load.
            if (dll == "comctl32.dll" && sideBySide)
                continue;
            EXPECT_TRUE(known.count(dll)) << dll << " would be looked for in the program's folder first";
        }
        EXPECT_NE(0, pe.DllCharacteristics() & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
        EXPECT_NE(0, pe.DllCharacteristics() & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
        EXPECT_GT(pe.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u) << "without relocations it cannot move";
    }
}
