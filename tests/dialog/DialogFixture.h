// Shared set-up of the tests that drive the real program.
#pragma once

#include "res/resource.h"
#include "support/Desktop.h"
#include "support/ProgramRun.h"
#include "support/Registry.h"
#include "support/SelfTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Short names for the dialog's controls.
constexpr int kOk = IDC_OK_BTN;
constexpr int kDiscover = IDC_DISCOVER;
constexpr int kCancel = IDC_CANCEL_BTN;
constexpr int kList = IDC_DEVICE_LIST;
constexpr int kUsb = IDC_USB_CHECK;
constexpr int kLabel = IDC_SELECT_LABEL;
constexpr int kNoShow = IDC_NO_SHOW_CHECK;

class DialogTest : public ::testing::Test
{
protected:
    // A twain.ini naming maker and model (none when maker is empty: the
    // built-in identity), the English library beside the program, and the
    // stored settings removed. The maker's key lies under the tests' own.
    void Prepare(const std::string& maker, const std::string& model, const std::string& country = "ENG",
                 bool withLibrary = true)
    {
        m_maker = maker.empty() ? "ORVEL" : TestMaker(maker);
        m_model = model.empty() ? "QX7S&QN8S" : model;
        DeleteKeyTree("SOFTWARE\\" + m_maker);
        if (!maker.empty())
            run.WriteFile("twain.ini",
                          "[MODEL]\r\nMFG=" + m_maker + "\r\nMDL=" + model + "\r\nCOUNTRY=" + country + "\r\n");
        if (withLibrary)
            run.CopyBeside(country + ".dll");
    }

    void StartDialog()
    {
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.WaitForDialog()) << "the dialog did not show";
    }

    // The dialog is still there a while after something that must not close it.
    bool StaysOpen()
    {
        ::Sleep(300);
        return run.Running() && ::IsWindowVisible(run.Dialog());
    }

    bool EndsWith(DWORD result) { return run.WaitForExit() && run.ExitCode() == result; }

    std::string Key() const { return SettingsPath(m_maker, m_model); }
    StoredValue Value(const char* name) const { return ReadValue(Key(), name); }

    void TearDown() override { DeleteKeyTree("SOFTWARE\\" + m_maker); }

    ProgramRun run;
    std::string m_maker;
    std::string m_model;
};
