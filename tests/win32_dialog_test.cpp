// The dialog of resource 101 as the stand-in builds and runs it without a user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32_standin.h"
#include "windows.h"

namespace {

int gEntries;
std::vector<int> gCommands;

INT_PTR CALLBACK TestDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        EXPECT_EQ(lParam, 1234);
        EXPECT_EQ(reinterpret_cast<HWND>(wParam), GetDlgItem(dialog, 1001));
        for (int i = 0; i < gEntries; ++i) {
            std::string name = "entry " + std::to_string(i);
            EXPECT_EQ(SendDlgItemMessageA(dialog, 1001, LB_ADDSTRING, 0,
                                          reinterpret_cast<LPARAM>(name.c_str())),
                      i);
        }
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        int id = LOWORD(wParam);
        gCommands.push_back(id);
        EXPECT_EQ(reinterpret_cast<HWND>(lParam), GetDlgItem(dialog, id));
        LRESULT sel = SendDlgItemMessageA(dialog, 1001, LB_GETCURSEL, 0, 0);
        EndDialog(dialog, id == 1 ? 100 + sel : 0);
        return TRUE;
    }
    return FALSE;
}

class Dialog : public ::testing::Test {
protected:
    void SetUp() override { gCommands.clear(); }
    void TearDown() override {
        Win32_Reset();
        Win32_SetOptions(Win32StandInOptions{});
    }
    static INT_PTR Run(int entries, bool headless, int device) {
        gEntries = entries;
        Win32StandInOptions o;
        o.headless = headless;
        o.device = device;
        Win32_SetOptions(o);
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, TestDlgProc, 1234);
    }
};

TEST_F(Dialog, WithoutAUserRunIsPressedWithTheChosenEntry) {
    EXPECT_EQ(Run(3, true, -1), 100 + LB_ERR);  // nothing selected
    EXPECT_EQ(Run(3, true, 2), 102);
    EXPECT_EQ(Run(3, false, 1), 101);            // --device alone also answers by itself
    EXPECT_EQ(Run(3, false, -1), 100 + LB_ERR);  // no display to show it on (offscreen video)
    EXPECT_EQ(gCommands, (std::vector<int>{1, 1, 1, 1}));
}

TEST_F(Dialog, AnEntryPastTheListEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Run(2, true, 5), testing::ExitedWithCode(2),
                "--device 5: the device list has 2 entries");
}

}  // namespace
