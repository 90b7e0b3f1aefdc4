// win32_dialog.cpp: the modal dialog of resource 101, "Select Render Device".
//
// DialogBoxParamA builds the dialog from the template the program was built with: a list box
// (id 1001), a default push button "Run" (id 1) and a push button "Exit" (id 2); the controls are
// real window records, so GetDlgItem, EnableWindow and SendDlgItemMessageA (LB_ADDSTRING,
// LB_GETCURSEL, ...) act on them. The dialog procedure gets WM_INITDIALOG first; when it ends the
// dialog there, nothing is shown. Otherwise the dialog appears in a small SDL window of its own,
// used with the mouse or the keyboard (arrows choose, Enter runs, Escape exits, Tab moves the
// focus). With --headless or --device N, or when no display can show it, the stand-in selects
// entry N (none without N) and presses "Run" itself, or "Exit" when "Run" is disabled.
//
// Not done: messages posted to other windows wait until the dialog ends; list box notifications
// (LBN_*) are not sent.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resource.h"
#include "win32_dlgview.h"
#include "win32_internal.h"

namespace {

const int kListId = IDC_DEVICE_LIST, kRunId = IDOK, kExitId = IDCANCEL;

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return LB_ERR;
    const auto count = static_cast<LRESULT>(w->items.size());
    switch (msg) {
    case LB_ADDSTRING:
        if (!lParam) return LB_ERR;
        w->items.emplace_back(reinterpret_cast<const char*>(lParam));
        return count;
    case LB_RESETCONTENT:
        w->items.clear();
        w->curSel = -1;
        return LB_OKAY;
    case LB_SETCURSEL:
        if (static_cast<LRESULT>(wParam) < 0 || static_cast<LRESULT>(wParam) >= count) {
            w->curSel = -1;
            return LB_ERR;
        }
        w->curSel = static_cast<int>(wParam);
        return w->curSel;
    case LB_GETCURSEL: return w->curSel >= 0 ? w->curSel : LB_ERR;
    case LB_GETCOUNT: return count;
    case LB_GETTEXTLEN:
        return wParam < w->items.size() ? static_cast<LRESULT>(w->items[wParam].size()) : LB_ERR;
    case LB_GETTEXT:
        if (wParam >= w->items.size() || !lParam) return LB_ERR;
        std::strcpy(reinterpret_cast<char*>(lParam), w->items[wParam].c_str());
        return static_cast<LRESULT>(w->items[wParam].size());
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The dialog's window procedure: the program's dialog procedure first, then nothing by default.
LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    W32Window* w = W32_Get(hwnd);
    if (w && w->dlgProc) return w->dlgProc(hwnd, msg, wParam, lParam);
    return 0;
}

void RegisterDialogClasses() {
    WNDCLASSA probe;
    if (GetClassInfoA(nullptr, W32_DIALOG_CLASS, &probe)) return;
    const struct {
        const char* name;
        WNDPROC proc;
    } classes[] = {{W32_DIALOG_CLASS, DialogWndProc},
                   {W32_LISTBOX_CLASS, ListBoxProc},
                   {W32_BUTTON_CLASS, ButtonProc}};
    for (const auto& c : classes) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = c.proc;
        wc.lpszClassName = c.name;
        RegisterClassA(&wc);
    }
}

bool Ended(HWND dlg) {
    W32Window* w = W32_Get(dlg);
    return !w || w->dlgEnded;
}

void Press(HWND dlg, int id) {
    HWND button = GetDlgItem(dlg, id);
    if (id == kRunId && !IsWindowEnabled(button)) return;
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// No user to ask: choose entry `device` (none when negative) and press "Run", or "Exit" when
// "Run" is disabled.
void AutoRun(HWND dlg, int device) {
    HWND list = GetDlgItem(dlg, kListId);
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (device >= 0 && count > 0) {
        if (device >= count) {
            std::fprintf(stderr, "--device %d: the device list has %d entries (0 to %d)\n", device,
                         count, count - 1);
            std::exit(2);
        }
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(device), 0);
    }
    if (IsWindowEnabled(GetDlgItem(dlg, kRunId))) {
        Press(dlg, kRunId);
    } else {
        std::fprintf(stderr, "win32: no render device to choose; pressing \"Exit\"\n");
        Press(dlg, kExitId);
    }
    if (!Ended(dlg)) {
        std::fprintf(stderr,
                     "win32: the device dialog did not close after its button was pressed\n");
        std::exit(4);
    }
}

void KeepSelectionVisible(DlgView& view) {
    int visible = DlgView_VisibleItems();
    int n = static_cast<int>(view.items.size());
    if (view.selected >= 0) {
        if (view.selected < view.topItem) view.topItem = view.selected;
        if (view.selected >= view.topItem + visible) view.topItem = view.selected - visible + 1;
    }
    view.topItem = std::max(0, std::min(view.topItem, std::max(0, n - visible)));
}

void MoveSelection(HWND dlg, DlgView& view, int to) {
    int n = static_cast<int>(view.items.size());
    if (n == 0) return;
    to = std::max(0, std::min(to, n - 1));
    SendDlgItemMessageA(dlg, kListId, LB_SETCURSEL, static_cast<WPARAM>(to), 0);
    view.selected = to;
    KeepSelectionVisible(view);
}

void NextFocus(HWND dlg, DlgView& view, int step) {
    const int order[] = {kListId, kRunId, kExitId};
    int at = 0;
    for (int i = 0; i < 3; ++i)
        if (order[i] == view.focus) at = i;
    for (int tries = 0; tries < 3; ++tries) {
        at = (at + step + 3) % 3;
        if (order[at] != kRunId || IsWindowEnabled(GetDlgItem(dlg, kRunId))) break;
    }
    view.focus = order[at];
}

void HandleEvent(HWND dlg, Uint32 dlgWindowId, DlgView& view, const SDL_Event& e) {
    Uint32 windowId = 0;
    switch (e.type) {
    case SDL_WINDOWEVENT: windowId = e.window.windowID; break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: windowId = e.key.windowID; break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: windowId = e.button.windowID; break;
    case SDL_MOUSEWHEEL: windowId = e.wheel.windowID; break;
    case SDL_QUIT: Press(dlg, kExitId); return;
    default: return;
    }
    if (windowId != dlgWindowId) {
        W32_TranslateEvent(e);
        return;
    }
    int visible = DlgView_VisibleItems();
    switch (e.type) {
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) Press(dlg, kExitId);
        break;
    case SDL_MOUSEBUTTONDOWN: {
        if (e.button.button != SDL_BUTTON_LEFT) break;
        int item = -1;
        DlgHit hit = DlgView_HitTest(view, e.button.x, e.button.y, &item);
        if (hit == DLG_HIT_LIST) {
            view.focus = kListId;
            if (item >= 0) MoveSelection(dlg, view, item);
        } else if (hit == DLG_HIT_RUN || hit == DLG_HIT_EXIT) {
            if (hit == DLG_HIT_RUN && !view.runEnabled) break;
            view.focus = hit;
            view.pressed = hit;
        }
        break;
    }
    case SDL_MOUSEBUTTONUP: {
        if (e.button.button != SDL_BUTTON_LEFT || !view.pressed) break;
        int item = -1;
        int pressed = view.pressed;
        view.pressed = 0;
        if (DlgView_HitTest(view, e.button.x, e.button.y, &item) == pressed) Press(dlg, pressed);
        break;
    }
    case SDL_MOUSEWHEEL:
        view.topItem -= e.wheel.y;
        KeepSelectionVisible(view);
        view.topItem = std::max(
            0, std::min(view.topItem, std::max(0, static_cast<int>(view.items.size()) - visible)));
        break;
    case SDL_KEYDOWN:
        switch (e.key.keysym.scancode) {
        case SDL_SCANCODE_UP:
            view.focus = kListId;
            MoveSelection(dlg, view, view.selected - 1);
            break;
        case SDL_SCANCODE_DOWN:
            view.focus = kListId;
            MoveSelection(dlg, view, view.selected + 1);
            break;
        case SDL_SCANCODE_HOME:
            view.focus = kListId;
            MoveSelection(dlg, view, 0);
            break;
        case SDL_SCANCODE_END:
            view.focus = kListId;
            MoveSelection(dlg, view, 1 << 20);
            break;
        case SDL_SCANCODE_PAGEUP:
            view.focus = kListId;
            MoveSelection(dlg, view, view.selected - visible);
            break;
        case SDL_SCANCODE_PAGEDOWN:
            view.focus = kListId;
            MoveSelection(dlg, view, view.selected + visible);
            break;
        case SDL_SCANCODE_TAB:
            NextFocus(dlg, view, (e.key.keysym.mod & KMOD_SHIFT) ? -1 : 1);
            break;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER: Press(dlg, view.focus == kExitId ? kExitId : kRunId); break;
        case SDL_SCANCODE_ESCAPE: Press(dlg, kExitId); break;
        case SDL_SCANCODE_SPACE:
            if (view.focus == kRunId || view.focus == kExitId) Press(dlg, view.focus);
            break;
        default: break;
        }
        break;
    default: break;
    }
}

void RunInteractive(HWND dlg) {
    W32Window* w = W32_Get(dlg);
    int width, height;
    DlgView_Size(&width, &height);
    SDL_SetWindowSize(w->sdl, width, height);
    SDL_SetWindowResizable(w->sdl, SDL_FALSE);
    SDL_SetWindowPosition(w->sdl, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    SDL_ShowWindow(w->sdl);
    SDL_RaiseWindow(w->sdl);
    SDL_Renderer* renderer = SDL_CreateRenderer(w->sdl, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) {
        std::fprintf(stderr, "win32: cannot draw the device dialog (%s); choosing by itself\n",
                     SDL_GetError());
        SDL_HideWindow(w->sdl);
        AutoRun(dlg, -1);
        return;
    }
    const Uint32 windowId = SDL_GetWindowID(w->sdl);
    HWND list = GetDlgItem(dlg, kListId);
    DlgView view;
    view.focus = kListId;
    while (!Ended(dlg)) {
        W32Window* lw = W32_Get(list);
        if (!lw) break;
        view.items = lw->items;
        view.selected = lw->curSel;
        view.runEnabled = IsWindowEnabled(GetDlgItem(dlg, kRunId)) != FALSE;
        if (!view.runEnabled && view.focus == kRunId) view.focus = kListId;
        DlgView_Paint(renderer, view);
        SDL_RenderPresent(renderer);
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, 250)) continue;
        do {
            HandleEvent(dlg, windowId, view, e);
        } while (!Ended(dlg) && SDL_PollEvent(&e));
    }
    SDL_DestroyRenderer(renderer);
}

}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam) {
    if (!IS_INTRESOURCE(templateName) || LOWORD(templateName) != IDD_SELECT_DEVICE)
        Win32Unsupported("DialogBoxParamA", "a dialog resource other than 101");
    if (!dialogProc) return -1;
    RegisterDialogClasses();

    int width, height;
    DlgView_Size(&width, &height);
    HWND dlg = CreateWindowExA(0, W32_DIALOG_CLASS, "Select Render Device",
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, 0, width, height,
                               owner, nullptr, instance, nullptr);
    if (!dlg) return -1;
    // Controls at the template's places, converted from dialog units (x * 6 / 4, y * 13 / 8).
    auto control = [&](const char* cls, const char* text, DWORD style, int x, int y, int cx, int cy,
                       int id) {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x * 6 / 4, y * 13 / 8,
                               cx * 6 / 4, cy * 13 / 8, dlg,
                               reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), instance,
                               nullptr);
    };
    HWND list = control(W32_LISTBOX_CLASS, "", 0, 7, 7, 172, 44, kListId);
    control(W32_BUTTON_CLASS, "Run", 0, 74, 51, 50, 16, kRunId);
    control(W32_BUTTON_CLASS, "Exit", 0, 129, 51, 50, 16, kExitId);
    W32_Get(dlg)->dlgProc = dialogProc;

    BOOL ownerWasDisabled = owner ? EnableWindow(owner, FALSE) : FALSE;
    dialogProc(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(list), initParam);
    if (!Ended(dlg)) {
        const Win32StandInOptions& o = Win32_GetOptions();
        if (o.headless || o.device >= 0 || !W32_HasDisplay())
            AutoRun(dlg, o.device);
        else
            RunInteractive(dlg);
    }
    W32Window* w = W32_Get(dlg);
    INT_PTR result = w ? w->dlgResult : 0;
    DestroyWindow(dlg);
    if (owner && IsWindow(owner)) {
        EnableWindow(owner, ownerWasDisabled ? FALSE : TRUE);
        SetFocus(owner);
    }
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    W32Window* w = W32_Get(dialog);
    if (!w || !w->dlgProc) return FALSE;
    w->dlgEnded = true;
    w->dlgResult = result;
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    if (!W32_Get(dialog)) return nullptr;
    for (HWND h : W32_ChildWindows(dialog)) {
        W32Window* c = W32_Get(h);
        if (c && c->id == id) return h;
    }
    return nullptr;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}
