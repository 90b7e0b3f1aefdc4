// sc_present.cpp: presentation of the front buffer and capture of presented frames as PNG files.
//
// The front buffer goes into a streaming RGB565 SDL texture and is drawn letterboxed (aspect kept,
// nearest scaling) into the window's renderer. The renderer is the window's own when it has one
// (the device dialog may have made it), else one the card makes and later destroys. SDL destroys a
// window's renderer with the window, so the card checks by window id that its window still lives
// before it touches either.
#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "capture.h"
#include "sc_internal.h"
#include "win32_standin.h"

namespace {

bool WindowAlive(const ScCard* card) {
    return card->window && SDL_WasInit(SDL_INIT_VIDEO) &&
           SDL_GetWindowFromID(card->windowId) == card->window;
}

void Forget(ScCard* card) {
    card->window = nullptr;
    card->windowId = 0;
    card->renderer = nullptr;
    card->screen = nullptr;
    card->ownRenderer = false;
}

void Show(ScCard* card, SDL_Window* window) {
    if (!WindowAlive(card) || card->window != window || SDL_GetRenderer(window) != card->renderer ||
        !card->renderer) {
        if (WindowAlive(card)) ScReleasePresenter(card);
        Forget(card);
        card->window = window;
        card->windowId = SDL_GetWindowID(window);
        card->renderer = SDL_GetRenderer(window);
        if (!card->renderer) {
            // No display behind the offscreen and dummy drivers: a software renderer is enough,
            // and its window surface must not ask for GL either.
            const char* driver = SDL_GetCurrentVideoDriver();
            bool virt = driver &&
                        (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
            if (virt) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
            card->renderer = SDL_CreateRenderer(window, -1, virt ? SDL_RENDERER_SOFTWARE : 0);
            card->ownRenderer = card->renderer != nullptr;
        }
        if (!card->renderer) return;
    }
    if (!card->screen) {
        card->screen = SDL_CreateTexture(card->renderer, SDL_PIXELFORMAT_RGB565,
                                         SDL_TEXTUREACCESS_STREAMING, card->width, card->height);
        if (!card->screen) return;
        SDL_SetTextureScaleMode(card->screen, SDL_ScaleModeNearest);
    }
    SDL_UpdateTexture(card->screen, nullptr, card->colour[0].data(), card->width * 2);
    // The drawable as the window system has it now (after any resize; in pixels on HiDPI outputs).
    int ow = 0, oh = 0;
    if (SDL_GetRendererOutputSize(card->renderer, &ow, &oh) != 0 || ow <= 0 || oh <= 0) return;
    ScRect fit = ScLetterbox(card->width, card->height, ow, oh);
    SDL_Rect dst{fit.x, fit.y, fit.w, fit.h};
    SDL_RenderSetViewport(card->renderer, nullptr);
    SDL_SetRenderDrawColor(card->renderer, 0, 0, 0, 255);
    SDL_RenderClear(card->renderer);
    SDL_RenderCopy(card->renderer, card->screen, nullptr, &dst);
    SDL_RenderPresent(card->renderer);
}

bool Wanted(const ScCard* card, int frame) {
    if (card->captureRanges.empty()) return true;
    for (const auto& r : card->captureRanges)
        if (frame >= r.first && frame <= r.second) return true;
    return false;
}

}  // namespace

ScRect ScLetterbox(int picW, int picH, int outW, int outH) {
    if (picW < 1 || picH < 1 || outW < 1 || outH < 1) return ScRect{0, 0, 0, 0};
    ScRect r;
    if (int64_t(outW) * picH <= int64_t(outH) * picW) {
        r.w = outW;
        r.h = std::max(1, int(int64_t(outW) * picH / picW));
    } else {
        r.h = outH;
        r.w = std::max(1, int(int64_t(outH) * picW / picH));
    }
    r.x = (outW - r.w) / 2;
    r.y = (outH - r.h) / 2;
    return r;
}

void ScReleasePresenter(ScCard* card) {
    if (WindowAlive(card)) {
        if (card->screen && SDL_GetRenderer(card->window) == card->renderer)
            SDL_DestroyTexture(card->screen);
        if (card->ownRenderer && SDL_GetRenderer(card->window) == card->renderer)
            SDL_DestroyRenderer(card->renderer);
    }
    Forget(card);
}

bool ScSetCapture(ScCard* card, const std::string& dir, const std::string& list) {
    if (!card) return false;
    if (!Win32_ParseFrameList(list, &card->captureRanges)) {
        card->captureDir.clear();
        card->captureRanges.clear();
        return false;
    }
    card->captureDir = dir;
    if (!dir.empty()) {
        std::error_code ignored;  // a directory that cannot be made shows in the write errors
        std::filesystem::create_directories(dir, ignored);
    }
    return true;
}

bool ScWritePng(const char* path, const uint16_t* pixels, int width, int height, int pitchBytes) {
    if (!path || !pixels || width < 1 || height < 1 || pitchBytes < width * 2) return false;
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(size_t(width) * 3);
    bool ok = false;
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_compression_level(png, 1);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        const char* base = reinterpret_cast<const char*>(pixels);
        for (int y = 0; y < height; ++y) {
            const uint16_t* src = reinterpret_cast<const uint16_t*>(base + size_t(y) * pitchBytes);
            for (int x = 0; x < width; ++x) {
                uint32_t p = src[x], r = p >> 11, g = (p >> 5) & 63, b = p & 31;
                row[x * 3] = png_byte((r << 3) | (r >> 2));
                row[x * 3 + 1] = png_byte((g << 2) | (g >> 4));
                row[x * 3 + 2] = png_byte((b << 3) | (b >> 2));
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(f) == 0 && ok;
}

void ScPresent(ScCard* card, void* window) {
    if (!card) return;
    ScFlush(card);
    ++card->frames;
    if (!Win32_GetOptions().headless && window) {
        SDL_Window* sdl = Win32_SdlWindow(static_cast<HWND>(window));
        if (sdl) Show(card, sdl);
    }
    if (!card->captureDir.empty() && Wanted(card, card->frames)) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", card->frames);
        std::string path = card->captureDir + name;
        if (!ScWritePng(path.c_str(), card->colour[0].data(), card->width, card->height,
                        card->width * 2))
            std::fprintf(stderr, "softcard: cannot write %s\n", path.c_str());
    }
    CapFrame(card->colour[0].data(), card->width, card->height, card->width * 2);
    Win32_NotifyPresent();  // under capture the timer ticks here: the next frame may begin
}
