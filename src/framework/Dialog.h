// Modal dialogs from a resource template: one static dialog procedure that
// finds the C++ object and routes messages through a static message table.
#pragma once

#include "Wnd.h"

class CDialog;

// One row of a dialog's message table; a null invoke ends the table.
struct MessageEntry
{
    UINT message;  // WM_COMMAND rows also match the notification code and id
    UINT code;
    UINT id;
    LRESULT (*invoke)(CDialog& dialog);
};

// The table macros are laid out as the rows they make.
// clang-format off
#define DECLARE_MESSAGE_TABLE() \
protected:                      \
    const MessageEntry* GetMessageTable() const override;

#define BEGIN_MESSAGE_TABLE(theClass)                          \
    const MessageEntry* theClass::GetMessageTable() const      \
    {                                                          \
        using ThisClass = theClass;                            \
        static const MessageEntry s_entries[] = {

#define ON_WM_PAINT()                                                              \
            { WM_PAINT, 0, 0, [](CDialog& d) -> LRESULT {                          \
                static_cast<ThisClass&>(d).OnPaint(); return 0; } },

#define ON_WM_QUERYDRAGICON()                                                      \
            { WM_QUERYDRAGICON, 0, 0, [](CDialog& d) -> LRESULT {                  \
                return reinterpret_cast<LRESULT>(static_cast<ThisClass&>(d).OnQueryDragIcon()); } },

// The handler's TRUE sets the pointer; FALSE leaves it to the default.
#define ON_WM_SETCURSOR()                                                          \
            { WM_SETCURSOR, 0, 0, [](CDialog& d) -> LRESULT {                      \
                return static_cast<ThisClass&>(d).OnSetCursor(); } },

#define ON_BN_CLICKED(id, handler)                                                 \
            { WM_COMMAND, BN_CLICKED, id, [](CDialog& d) -> LRESULT {              \
                static_cast<ThisClass&>(d).handler(); return 0; } },

#define ON_MESSAGE_VOID(message, handler)                                          \
            { message, 0, 0, [](CDialog& d) -> LRESULT {                           \
                static_cast<ThisClass&>(d).handler(); return 0; } },

#define END_MESSAGE_TABLE()                \
            { 0, 0, 0, nullptr } };        \
        return s_entries;                  \
    }
// clang-format on

struct CDataExchange
{
    CDialog* m_pDlgWnd;
};

// Binds control to the dialog's child window id on the first exchange.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);

class CDialog : public CWnd
{
public:
    CDialog(UINT nIDTemplate, HWND hParent);

    // Runs the dialog's own modal loop; returns the value given to EndDialog.
    INT_PTR DoModal();
    void EndDialog(int nResult) const { ::EndDialog(m_hWnd, nResult); }
    // Binds the controls the dialog exchanges data with.
    void UpdateData();

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    virtual const MessageEntry* GetMessageTable() const;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam);
    void CenterOnWorkArea() const;

    UINT m_nIDTemplate;
    HWND m_hParent;
};
