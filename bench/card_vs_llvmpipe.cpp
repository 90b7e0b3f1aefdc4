// card_vs_llvmpipe.cpp: fill rate of the software card side by side with Mesa's llvmpipe drawing
// the same triangles, in one run on one core.
//
//   card_vs_llvmpipe [--threads N] [--simd none|avx2|avx512] [--repeat N] [--case I] [--no-gl] [--cpu-time]
//
// Both halves draw the same batches: right triangles of one size spread over a 640x480 screen,
// each nearer than the one before (every pixel depth-tested and passing), Gouraud colours times a
// 256x256 5-6-5 texture at about 4 texels per pixel, perspective-correct, blended (src alpha,
// 1 - src alpha), into a 5-6-5 colour buffer with a 16-bit depth buffer. The GL half renders into
// such a framebuffer object through EGL without any display (Mesa's surfaceless platform), with
// llvmpipe held to one thread (LP_NUM_THREADS=1, set here before EGL starts). Each figure is the
// best of --repeat runs of a whole batch including its depth clear (and glFinish for GL).
// --threads sets the card's rasteriser threads (default 1, the one-core comparison); --case runs
// only case I (0-4) and --no-gl the card alone, for profiling. --simd holds the card to a narrower
// copy of its rasteriser than the widest the processor has (to compare them in one run).
// --cpu-time times by the process's CPU time (for a machine that is not quiet).
//
// Run it by hand on a quiet machine; it is no test. It needs libegl-dev, libgles-dev and Mesa's
// drivers (libgl1-mesa-dri).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "softcard.h"

namespace {

constexpr int kW = 640, kH = 480;

struct Case {
    const char* name;
    int legs;  // pixels along each leg of the right triangle
    bool bilinear;
    int count;  // triangles per batch
};

// The same vertex list for both halves.
std::vector<ScVertex> Triangles(const Case& k) {
    std::vector<ScVertex> v;
    const float span = 2.0f * float(k.legs) / 256;  // 4 texels per pixel: 2 each way
    for (int i = 0; i < k.count; ++i) {
        const float x = 3.3f + float((i * 97) % (kW - k.legs - 8)),
                    y = 2.7f + float((i * 61) % (kH - k.legs - 8));
        const float z = 65000.0f - float(i) * (64000.0f / float(k.count));
        const float u = float(i % 7) / 7, t = float(i % 5) / 5;
        v.push_back(ScVertex{x, y, z, 1.0f, 0xC0FF8040u, u, t});
        v.push_back(ScVertex{x + float(k.legs), y, z, 0.9f, 0xC040FF80u, u + span, t});
        v.push_back(ScVertex{x, y + float(k.legs), z, 0.8f, 0xC08040FFu, u, t + span});
    }
    return v;
}

std::vector<uint16_t> Texels() {
    std::vector<uint16_t> t(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) t[y * 256 + x] = uint16_t((x * 37) ^ (y * 91) ^ (x << 8));
    return t;
}

// --cpu-time: the process's CPU time (all its threads) instead of the wall clock, which on a busy
// machine counts the time other processes ran.
bool g_cpuTime = false;

double Now() {
    if (!g_cpuTime)
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <typename F>
double BestSeconds(int repeat, F&& run) {
    double best = 1e30;
    for (int r = 0; r < repeat; ++r) {
        const double t0 = Now();
        run();
        best = std::min(best, Now() - t0);
    }
    return best;
}

// ---- the card ----

struct CardHalf {
    ScCard* card = nullptr;
    ScTexture* texture = nullptr;
};

CardHalf CardStart(int threads, ScSimd simd) {
    CardHalf h;
    h.card = ScCreate(kW, kH);
    ScSetThreads(h.card, threads);
    ScSetSimdLimit(h.card, simd);
    const std::vector<uint16_t> texels = Texels();
    h.texture = ScTextureCreate(256, 256);
    ScTextureLoad(h.texture, SC_FMT_RGB565, texels.data(), 0, nullptr, SC_KEY_NONE, 0);
    ScSetTexture(h.card, h.texture);
    ScSetBlend(h.card, true);
    ScSetDepthFunc(h.card, SC_DEPTH_LESS);
    return h;
}

// Seconds for one batch and the pixels it covers.
double CardRun(CardHalf& h, const Case& k, const std::vector<ScVertex>& v, int repeat,
               long* pixels) {
    const ScFilter f = k.bilinear ? SC_BILINEAR : SC_NEAREST;
    ScSetFilter(h.card, f, f);
    auto batch = [&] {
        ScClearDepth(h.card, 0xFFFF);
        ScDraw(h.card, SC_TRIANGLES, v.data(), int(v.size()));
        ScFinish(h.card);
    };
    batch();
    *pixels = 0;
    const uint16_t* depth = ScPixels(h.card, SC_DEPTH);
    for (int i = 0; i < kW * kH; ++i) *pixels += depth[i] != 0xFFFF;
    return BestSeconds(repeat, batch);
}

// ---- llvmpipe through EGL, surfaceless ----

struct GlHalf {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint program = 0, texture = 0, fbo = 0, colour = 0, depth = 0, buffer = 0;
    std::string renderer;
};

const char* const kVertexShader =
    "attribute vec4 p; attribute vec4 c; attribute vec2 t;\n"
    "varying vec4 vc; varying vec2 vt;\n"
    "void main() { vc = c; vt = t; gl_Position = p; }\n";
const char* const kFragmentShader =
    "precision mediump float;\n"
    "uniform sampler2D s; varying vec4 vc; varying vec2 vt;\n"
    "void main() { gl_FragColor = texture2D(s, vt) * vc; }\n";

GLuint Shader(GLenum type, const char* text) {
    const GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        std::fprintf(stderr, "card_vs_llvmpipe: shader: %s\n", log);
        return 0;
    }
    return s;
}

bool GlStart(GlHalf* g) {
    setenv("LP_NUM_THREADS", "1", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay) return false;
    g->display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (g->display == EGL_NO_DISPLAY || !eglInitialize(g->display, &major, &minor)) return false;
    const EGLint attrs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLConfig config;
    EGLint n = 0;
    if (!eglChooseConfig(g->display, attrs, &config, 1, &n) || n < 1) return false;
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint ctxAttrs[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    g->context = eglCreateContext(g->display, config, EGL_NO_CONTEXT, ctxAttrs);
    if (g->context == EGL_NO_CONTEXT) return false;
    if (!eglMakeCurrent(g->display, EGL_NO_SURFACE, EGL_NO_SURFACE, g->context)) return false;
    g->renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));

    glGenFramebuffers(1, &g->fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, g->fbo);
    glGenRenderbuffers(1, &g->colour);
    glBindRenderbuffer(GL_RENDERBUFFER, g->colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB565, kW, kH);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g->colour);
    glGenRenderbuffers(1, &g->depth);
    glBindRenderbuffer(GL_RENDERBUFFER, g->depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kW, kH);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g->depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    glViewport(0, 0, kW, kH);

    const GLuint vs = Shader(GL_VERTEX_SHADER, kVertexShader),
                 fs = Shader(GL_FRAGMENT_SHADER, kFragmentShader);
    if (!vs || !fs) return false;
    g->program = glCreateProgram();
    glAttachShader(g->program, vs);
    glAttachShader(g->program, fs);
    glBindAttribLocation(g->program, 0, "p");
    glBindAttribLocation(g->program, 1, "c");
    glBindAttribLocation(g->program, 2, "t");
    glLinkProgram(g->program);
    GLint ok = 0;
    glGetProgramiv(g->program, GL_LINK_STATUS, &ok);
    if (!ok) return false;
    glUseProgram(g->program);
    glUniform1i(glGetUniformLocation(g->program, "s"), 0);

    const std::vector<uint16_t> texels = Texels();
    glGenTextures(1, &g->texture);
    glBindTexture(GL_TEXTURE_2D, g->texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                 texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glGenBuffers(1, &g->buffer);
    return glGetError() == GL_NO_ERROR;
}

// The card's vertices as GL draws them: clip coordinates (w = 1 / rhw), RGBA bytes, u, v.
struct GlVertex {
    float p[4];
    uint8_t c[4];
    float t[2];
};

double GlRun(GlHalf& g, const Case& k, const std::vector<ScVertex>& v, int repeat, long* pixels) {
    std::vector<GlVertex> gv(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        const ScVertex& s = v[i];
        const float w = 1.0f / s.rhw;
        gv[i] = GlVertex{
            {(s.x / (kW / 2) - 1) * w, (1 - s.y / (kH / 2)) * w, (s.z / 65535.0f * 2 - 1) * w, w},
            {uint8_t(s.color >> 16), uint8_t(s.color >> 8), uint8_t(s.color),
             uint8_t(s.color >> 24)},
            {s.u, s.v}};
    }
    glBindBuffer(GL_ARRAY_BUFFER, g.buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(gv.size() * sizeof(GlVertex)), gv.data(),
                 GL_STATIC_DRAW);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(GlVertex),
                          reinterpret_cast<void*>(offsetof(GlVertex, p)));
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GlVertex),
                          reinterpret_cast<void*>(offsetof(GlVertex, c)));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GlVertex),
                          reinterpret_cast<void*>(offsetof(GlVertex, t)));
    for (int a = 0; a < 3; ++a) glEnableVertexAttribArray(GLuint(a));
    const GLint f = k.bilinear ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f);
    auto batch = [&] {
        glClear(GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(gv.size()));
        glFinish();
    };
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_BLEND);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(gv.size()));  // opaque once, to count the pixels
    std::vector<uint8_t> rgba(size_t(kW) * kH * 4);
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    *pixels = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        *pixels += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    glEnable(GL_BLEND);
    batch();
    return glGetError() == GL_NO_ERROR ? BestSeconds(repeat, batch) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = 1, repeat = 7, only = -1;
    ScSimd simd = SC_SIMD_AVX512;
    bool noGl = false;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--threads") && value)
            threads = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--repeat") && value)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--case") && value)
            only = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--simd") && value && !std::strcmp(argv[i + 1], "none"))
            simd = SC_SIMD_NONE, ++i;
        else if (!std::strcmp(argv[i], "--simd") && value && !std::strcmp(argv[i + 1], "avx2"))
            simd = SC_SIMD_AVX2, ++i;
        else if (!std::strcmp(argv[i], "--simd") && value && !std::strcmp(argv[i + 1], "avx512"))
            simd = SC_SIMD_AVX512, ++i;
        else if (!std::strcmp(argv[i], "--no-gl"))
            noGl = true;
        else if (!std::strcmp(argv[i], "--cpu-time"))
            g_cpuTime = true;
        else {
            std::fprintf(stderr,
                         "usage: card_vs_llvmpipe [--threads N] [--simd none|avx2|avx512] "
                         "[--repeat N] [--case I] [--no-gl] [--cpu-time]\n");
            return 1;
        }
    }
    GlHalf gl;
    const bool haveGl = !noGl && GlStart(&gl);
    if (!haveGl && !noGl)
        std::fprintf(stderr,
                     "card_vs_llvmpipe: no EGL surfaceless GLES2 context; the card alone\n");
    CardHalf card = CardStart(threads, simd);
    static const char* const kCopies[] = {"plain", "AVX2", "AVX-512"};
    std::printf("card: %d thread%s, %s copy; GL: %s, LP_NUM_THREADS=%s\n", threads,
                threads == 1 ? "" : "s", kCopies[std::min(simd, ScSimdAvailable())],
                haveGl ? gl.renderer.c_str() : "none",
                getenv("LP_NUM_THREADS") ? getenv("LP_NUM_THREADS") : "-");
    std::printf("%-28s %9s %9s %11s %11s %8s\n", "case", "card px", "GL px", "card Mpx/s",
                "GL Mpx/s", "card/GL");
    const Case cases[] = {
        {"bilinear, 2048-px triangles", 64, true, 3000},
        {"bilinear, 8192-px", 128, true, 800},
        {"nearest, 2048-px", 64, false, 3000},
        {"8x8-px triangles (bilinear)", 8, true, 100000},
        {"4x4-px", 4, true, 200000},
    };
    for (const Case& k : cases) {
        if (only >= 0 && &k != &cases[only]) continue;
        const std::vector<ScVertex> v = Triangles(k);
        long cardPx = 0, glPx = 0;
        const double tc = CardRun(card, k, v, repeat, &cardPx);
        const double tg = haveGl ? GlRun(gl, k, v, repeat, &glPx) : -1;
        // Pixels drawn per batch: the triangles' areas (the depth test passes everywhere).
        const double px = double(k.count) * k.legs * k.legs / 2;
        const double mc = px / tc / 1e6, mg = tg > 0 ? px / tg / 1e6 : 0;
        std::printf("%-28s %9ld %9ld %11.1f %11.1f %7.2fx\n", k.name, cardPx, glPx, mc, mg,
                    mg > 0 ? mc / mg : 0.0);
    }
    ScTextureDestroy(card.texture);
    ScDestroy(card.card);
    if (haveGl) {
        eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(gl.display, gl.context);
        eglTerminate(gl.display);
    }
    return 0;
}
