// win32_report.cpp: MessageBoxA and the assertion report.
//
// A message box always prints its text on stderr ("caption: text"); when a display exists (not
// headless, a real video driver) it also shows it and waits for OK. Only OK boxes are offered.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assert_report.h"
#include "win32_internal.h"

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if ((type & 0xF) != MB_OK) Win32Unsupported("MessageBoxA", "buttons other than OK");
    const char* shownCaption = caption ? caption : "Error";
    std::fprintf(stderr, "%s: %s\n", shownCaption, text ? text : "");
    std::fflush(stderr);
    if (W32_HasDisplay()) {
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if ((type & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
        if ((type & 0xF0) == MB_ICONEXCLAMATION) flags = SDL_MESSAGEBOX_WARNING;
        W32Window* w = W32_Get(owner);
        SDL_Window* parent = w && w->visible ? w->sdl : nullptr;
        SDL_ShowSimpleMessageBox(flags, shownCaption, text ? text : "", parent);
    }
    return IDOK;
}

void AssertReport(const char* expression, const char* module, unsigned line) {
    std::string text = std::string("Assertion failed: ") + expression + ", file " + module +
                       ", line " + std::to_string(line);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (W32_HasDisplay())
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Tambir demo", text.c_str(), nullptr);
    Win32_RunFatalHook();
    std::_Exit(3);
}
