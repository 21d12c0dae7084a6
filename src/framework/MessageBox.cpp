#include "MessageBox.h"

#include "WinApp.h"

#include <string>

int AfxMessageBox(const char* text)
{
    CWinApp* pApp = AfxGetApp();
    HWND hOwner = nullptr;
    if (pApp && pApp->m_pMainWnd && ::IsWindow(pApp->m_pMainWnd->GetSafeHwnd()))
        hOwner = pApp->m_pMainWnd->GetSafeHwnd();
    const char* caption = pApp ? pApp->GetAppName().c_str() : nullptr;
    return ::MessageBoxA(hOwner, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

int AfxMessageBox(UINT nIDPrompt)
{
    // With no buffer LoadStringW hands out the resource's own text, of any length.
    const wchar_t* resource = nullptr;
    const int wide = ::LoadStringW(::GetModuleHandleA(nullptr), nIDPrompt, reinterpret_cast<LPWSTR>(&resource), 0);
    std::string text;
    if (wide > 0)
    {
        text.resize(
            static_cast<size_t>(::WideCharToMultiByte(CP_ACP, 0, resource, wide, nullptr, 0, nullptr, nullptr)));
        ::WideCharToMultiByte(CP_ACP, 0, resource, wide, &text[0], static_cast<int>(text.size()), nullptr, nullptr);
    }
    return AfxMessageBox(text.c_str());
}
