// tex_cpu.cpp: the chip logo, the circuit landscape of the final scene, its credits, and the flare.
//
// The board and the pulses that run over it both tile: the board's traces are walks on a grid
// that wraps, and each pulse path is either a closed loop or runs across the tile and comes back in
// at the same height on the other side.
#include <algorithm>
#include <cmath>
#include <string>

#include "catalogue.h"
#include "show.h"
#include "text.h"

namespace {

void SetRgb(float* p, uint32_t rgb, float k = 1) {
    float c[3];
    Rgb(rgb, c);
    for (int ch = 0; ch < 3; ++ch) p[ch] = c[ch] * k;
}

// Height 0 at the border rising to 1 over `width` texels (a rounded bevel), not wrapping.
Field BorderBevel(int w, int h, float width) {
    Field f = MakeField(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float d = Fx(std::min(std::min(x, y), std::min(w - 1 - x, h - 1 - y))) + 0.5f;
            const float t = Clamp01(d / width);
            f.v[static_cast<size_t>(y * w + x)] = std::sqrt(1 - (1 - t) * (1 - t));
        }
    return f;
}

// Lettering into a coverage field with the sans bold font; false (and an empty field) without it.
bool Letter(Field* f, const char* text, float size, float x, float y,
            TextAlign align = TEXT_CENTRE) {
    if (!TextOpen(ShowFonts().sans_bold)) return false;
    DrawText(f, text, size, x, y, align);
    TextClose();
    return true;
}

// The largest size up to `maxSize` at which the text fits in `width` texels.
float FitSize(const char* text, float maxSize, float width) {
    if (!TextOpen(ShowFonts().sans_bold)) return maxSize;
    const float at = TextWidth(text, 100);
    TextClose();
    return at > 0 ? std::min(maxSize, width / at * 100) : maxSize;
}

// Brushed metal: each row its own brightness, drifting along x; periodic in x with `segments`.
float Brushed(int x, int y, int w, uint32_t seed) {
    const int segments = 4, seg = w / segments, cx = x / seg;
    const float fx = (Fx(x % seg) + 0.5f) / Fx(seg), t = fx * fx * (3 - 2 * fx);
    const uint32_t row = static_cast<uint32_t>(y), c0 = static_cast<uint32_t>(cx),
                   c1 = static_cast<uint32_t>((cx + 1) % segments);
    return 0.6f * Mixf(Rand01(seed, row, c0), Rand01(seed, row, c1), t) +
           0.4f * Mixf(Rand01(seed + 1, row / 3, c0), Rand01(seed + 1, row / 3, c1), t);
}

}  // namespace

void MakeFlare(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // White, so the lamp's colour tints it: a hot core, a wide soft glow, a faint ring and thin
    // rays, all faded out well inside the edge.
    Img im = MakeImg(w, h, 0xFFFFFF);
    Field alpha = MakeField(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = (Fx(x) + 0.5f) / Fx(w) * 2 - 1, v = (Fx(y) + 0.5f) / Fx(h) * 2 - 1;
            const float r = std::hypot(u, v), a = std::atan2(v, u);
            const float fade = Clamp01((0.86f - r) / 0.3f);
            const float core = std::exp(-r * r * 60.0f);
            const float glow = std::exp(-r * r * 7.0f) * 0.45f;
            const float ring = std::exp(-(r - 0.58f) * (r - 0.58f) * 400.0f) * 0.14f;
            const float rays = (std::pow(std::fabs(std::cos(2 * a)), 60.0f) * 0.5f +
                                std::pow(std::fabs(std::sin(2 * a)), 120.0f) * 0.22f) *
                               std::exp(-r * 2.8f);
            alpha.v[static_cast<size_t>(y * w + x)] = Clamp01((core + glow + ring + rays) * fade);
        }
    SetAlpha(&im, alpha);
    out->push_back(im);
}

void MakeChipTop(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Moulded package: fine grain, a bevel round the edge, the pin-1 dimple and an ejector mark;
    // the name printed large and bright, small print above and below.
    const Field grain = ValueNoise(w, h, 64, 2, 0.6f, 40);
    const Field cloud = GradientNoise(w, h, 4, 3, 0.5f, 140);
    Field height = BorderBevel(w, h, 12);
    Field dimple = MakeField(w, h);
    FillCircle(&dimple, 34, 34, 8);
    Field ejector = MakeField(w, h);
    FillCircle(&ejector, Fx(w) - 40, Fx(h) - 40, 12);
    height = Add(height, Blur(dimple, 0.8f), -0.6f);
    height = Add(height, Blur(ejector, 0.8f), -0.12f);
    height = Add(height, grain, 0.02f);
    const Field light = Lighting(height, 16.0f, -0.55f, -0.6f, 0.58f);
    Field print = MakeField(w, h);
    const float nameSize = FitSize("TAMBIR", 80, 200);
    Letter(&print, "TAMBIR", nameSize, Fx(w) / 2, 150);
    Letter(&print, "TRX-3D", 17, Fx(w) / 2, 82);
    Letter(&print, "TMB-256A  1999", 15, Fx(w) / 2, 188);
    Letter(&print, "9923  REV C", 12, Fx(w) / 2, 206);
    FillRect(&print, 42, 160, Fx(w) - 42, 162);
    FillRect(&print, 42, 90, Fx(w) - 42, 92);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int, int, size_t i, float* p) {
        const float flat = 0.6f;
        const float lit = Clamp01(0.55f + (light.v[i] - flat) * 1.6f);
        const float base =
            (0.095f + 0.03f * cloud.v[i] + 0.025f * grain.v[i]) * (0.35f + lit * 1.3f);
        const float shine = std::pow(Clamp01((light.v[i] - flat) * 3.0f), 2.0f) * 0.35f;
        const float smooth = ejector.v[i] * 0.03f - dimple.v[i] * 0.04f;
        const float ink = print.v[i] * (0.9f + 0.1f * grain.v[i]);
        p[0] = Mixf(base + shine + smooth, 0.92f, ink);
        p[1] = Mixf(base + shine + smooth + 0.003f, 0.92f, ink);
        p[2] = Mixf(base + shine + smooth + 0.01f, 0.88f, ink);
    });
    Clamp(&im);
    out->push_back(im);
}

void MakeChipSide(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // The package's edge: a lit upper chamfer, the mould's parting line, a shaded lower chamfer.
    const Field grain = ValueNoise(w, h, 32, 2, 0.6f, 41);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int, int y, size_t i, float* p) {
        const float v = (Fx(y) + 0.5f) / Fx(h);
        float k = 0.11f + 0.03f * grain.v[i];
        if (y <= 1)
            k += 0.14f;
        else if (y <= 3)
            k += 0.05f;
        if (y == h / 2 - 1) k += 0.06f;
        if (y == h / 2) k -= 0.04f;
        if (y >= h - 2) k -= 0.05f;
        k *= 1.05f - 0.25f * v;
        p[0] = k;
        p[1] = k + 0.003f;
        p[2] = k + 0.012f;
    });
    Clamp(&im);
    out->push_back(im);
}

void MakePins(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Four gold legs with gaps between (holes of the colour key): rounded across, a bright ridge,
    // and the knee where the leg bends down shaded darker.
    const int legs = 4;
    const float pitch = Fx(w) / Fx(legs), half = 4.5f;
    Img im = MakeImg(w, h);
    Field alpha = MakeField(w, h);
    EachTexel(&im, [&](int x, int y, size_t i, float* p) {
        const float cx = std::fmod(Fx(x) + 0.5f, pitch) - pitch / 2;
        const float across = cx / half;
        const float v = (Fx(y) + 0.5f) / Fx(h);
        if (std::fabs(across) > 1) {
            alpha.v[i] = 0;
            SetRgb(p, 0);
            return;
        }
        alpha.v[i] = 1;
        const float round = std::sqrt(1 - across * across);
        const float ridge = std::exp(-(across + 0.3f) * (across + 0.3f) * 10.0f);
        const float knee = 1 - 0.55f * std::exp(-(v - 0.32f) * (v - 0.32f) * 150.0f);
        const float foot = v > 0.8f ? 1.12f : 1.0f;
        const float k = (0.35f + 0.55f * round) * knee * foot;
        float gold[3];
        Rgb(0xd8a838, gold);
        for (int ch = 0; ch < 3; ++ch) p[ch] = gold[ch] * k + ridge * 0.45f * knee;
    });
    Clamp(&im);
    SetAlpha(&im, alpha);
    out->push_back(im);
}

namespace {

// The die's floor plan: the tile split again and again into blocks, each with its own circuit
// pattern (kind) and tint.
struct DieBlock {
    int x0, y0, x1, y1, kind;
    float tint;
};

void SplitDie(int x0, int y0, int x1, int y1, int depth, uint32_t seed,
              std::vector<DieBlock>* blocks) {
    const int bw = x1 - x0, bh = y1 - y0;
    const float r = Rand01(seed, static_cast<uint32_t>(x0), static_cast<uint32_t>(y0),
                           static_cast<uint32_t>(depth));
    if (depth >= 5 || bw < 20 || bh < 20 || (depth >= 2 && r < 0.25f)) {
        blocks->push_back(
            {x0, y0, x1, y1,
             static_cast<int>(Hash(seed, static_cast<uint32_t>(x0), static_cast<uint32_t>(y0)) % 5),
             Rand01(seed, static_cast<uint32_t>(x1), static_cast<uint32_t>(y1))});
        return;
    }
    const bool vertical = bw > bh ? true : bh > bw ? false : r < 0.62f;
    const float at =
        0.3f + 0.4f * Rand01(seed, static_cast<uint32_t>(x1), static_cast<uint32_t>(y1), 7);
    if (vertical) {
        const int m = x0 + (static_cast<int>(Fx(bw) * at) & ~1);
        SplitDie(x0, y0, m, y1, depth + 1, seed, blocks);
        SplitDie(m, y0, x1, y1, depth + 1, seed, blocks);
    } else {
        const int m = y0 + (static_cast<int>(Fx(bh) * at) & ~1);
        SplitDie(x0, y0, x1, m, depth + 1, seed, blocks);
        SplitDie(x0, m, x1, y1, depth + 1, seed, blocks);
    }
}

}  // namespace

void MakeDie(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    std::vector<DieBlock> blocks;
    SplitDie(0, 0, w, h, 0, 44, &blocks);
    // Per texel: a structure brightness (what the circuit pattern shows) and a tint for the
    // thin-film colour.
    Field bright = MakeField(w, h, 0.12f), tint = MakeField(w, h);
    for (const DieBlock& b : blocks) {
        for (int y = b.y0; y < b.y1; ++y)
            for (int x = b.x0; x < b.x1; ++x) {
                const int lx = x - b.x0, ly = y - b.y0;
                const bool street = lx < 1 || ly < 1 || x >= b.x1 - 1 || y >= b.y1 - 1;
                const bool rail = lx == 2 || ly == 2 || x == b.x1 - 3 || y == b.y1 - 3;
                float v = 0;
                switch (b.kind) {
                case 0:  // memory array: a fine regular grid of cells
                    v = (lx % 3 == 0 || ly % 2 == 0) ? 0.35f : 0.85f;
                    if (lx % 12 == 0) v = 0.95f;
                    break;
                case 1:  // standard cells: rows of random little gates under horizontal wires
                    v = 0.3f + 0.55f * Rand01(44, static_cast<uint32_t>(x / 2),
                                              static_cast<uint32_t>(y / 4));
                    if (ly % 4 == 0) v = 0.75f;
                    break;
                case 2:  // a bus: parallel wires
                    v = ((b.x1 - b.x0 > b.y1 - b.y0) ? ly % 2 : lx % 2) ? 0.25f : 0.9f;
                    break;
                case 3:  // wide transistors: broad fingers
                    v = ((lx / 3) % 2) ? 0.55f : 0.8f;
                    if (ly % 10 < 2) v = 0.4f;
                    break;
                default:  // a macro block: flat with a frame and a few contacts
                    v = 0.5f + ((lx % 8 == 4 && ly % 8 == 4) ? 0.45f : 0.0f);
                    if (lx == 4 || ly == 4 || x == b.x1 - 5 || y == b.y1 - 5) v = 0.85f;
                    break;
                }
                if (rail) v = 1.0f;
                if (street) v = 0.08f;
                At(bright, x, y) = v;
                At(tint, x, y) = b.tint;
            }
    }
    const Field film = GradientNoise(w, h, 2, 3, 0.5f, 144);
    Img im = Ramp(
        film,
        {{0.0f, 0x402070}, {0.3f, 0x2050b0}, {0.5f, 0x20a090}, {0.7f, 0x90a040}, {1.0f, 0xc06040}});
    const Img alt =
        Ramp(tint, {{0.0f, 0x5030a0}, {0.35f, 0x2868c0}, {0.65f, 0x30a080}, {1.0f, 0xb09040}});
    EachTexel(&im, [&](int, int, size_t i, float* p) {
        const float* q = &alt.px[i * 4];
        const float b = bright.v[i];
        for (int ch = 0; ch < 3; ++ch) {
            const float film = Mixf(p[ch], q[ch], 0.55f);
            p[ch] = film * (0.12f + 0.75f * b * b) + 0.12f * b * b * b;
        }
    });
    Clamp(&im);
    out->push_back(im);
}

namespace {

// Board layout on a wrapping grid of nodes `kPitch` texels apart.
constexpr int kPitch = 8;

struct BoardLayout {
    int n;                       // nodes per side
    std::vector<uint8_t> used;   // node taken by a trace, a pad or a part
    std::vector<uint8_t> cross;  // grid square crossed by a diagonal
    explicit BoardLayout(int nodes)
        : n(nodes), used(static_cast<size_t>(nodes * nodes)), cross(used.size()) {}
    uint8_t& Node(int i, int j) {
        return used[static_cast<size_t>(((j % n + n) % n) * n + ((i % n + n) % n))];
    }
    uint8_t& Square(int i, int j) {
        return cross[static_cast<size_t>(((j % n + n) % n) * n + ((i % n + n) % n))];
    }
};

const int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, kDy[8] = {0, 1, 1, 1, 0, -1, -1, -1};

// Walks a trace from node (i, j) heading `dir`, mostly straight, turning by 45 degrees now and
// then, until it is `steps` long or blocked; draws it and ends it in a via.
void RouteTrace(BoardLayout* b, Field* copper, Field* vias, int i, int j, int dir, int steps,
                uint32_t seed) {
    b->Node(i, j) = 1;
    float px = Fx(i * kPitch), py = Fx(j * kPitch);
    int straight = 0;
    for (int k = 0; k < steps; ++k) {
        const float r = Rand01(seed, static_cast<uint32_t>(k));
        int want = dir;
        if (straight >= 2 && r < 0.3f) want = (dir + (r < 0.15f ? 1 : 7)) % 8;
        // The wanted direction, else straight on, else the other diagonal.
        const int tries[3] = {want, dir, (dir + (want == (dir + 1) % 8 ? 7 : 1)) % 8};
        bool moved = false;
        for (int d : tries) {
            const int ni = i + kDx[d], nj = j + kDy[d];
            if (b->Node(ni, nj)) continue;
            if (d & 1) {  // diagonals: one per grid square
                const int si = std::min(i, ni), sj = std::min(j, nj);
                if (b->Square(si, sj)) continue;
                b->Square(si, sj) = 1;
            }
            b->Node(ni, nj) = 1;
            const float qx = px + Fx(kDx[d] * kPitch), qy = py + Fx(kDy[d] * kPitch);
            DrawLine(copper, px, py, qx, qy, 3.2f);
            px = qx;
            py = qy;
            i = ni;
            j = nj;
            straight = d == dir ? straight + 1 : 0;
            dir = d;
            moved = true;
            break;
        }
        if (!moved) break;
    }
    FillCircle(vias, px, py, 3.4f);
}

}  // namespace

void MakeBoard(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    BoardLayout layout(w / kPitch);
    Field copper = MakeField(w, h), pads = MakeField(w, h), vias = MakeField(w, h),
          silk = MakeField(w, h);
    Field body = MakeField(w, h);  // the moulded bodies of the chips
    const uint32_t seed = 45;
    // Keep the board's name clear of traces.
    for (int j = 14; j <= 15; ++j)
        for (int i = 16; i <= 26; ++i) layout.Node(i, j) = 1;
    // Parts: chips with two rows of pads, small two-pad parts. Each pad starts a trace outward.
    struct Part {
        int i, j, pins, kind;  // kind 0: chip (pins per side, body between columns i and i + 3)
        const char* label;
    };
    const Part parts[] = {{3, 4, 6, 0, "U1"},   {18, 3, 5, 0, "U2"},  {10, 18, 7, 0, "U3"},
                          {24, 20, 4, 0, "U4"}, {12, 6, 0, 1, "R1"},  {27, 11, 0, 1, "C4"},
                          {4, 24, 0, 1, "R7"},  {19, 28, 0, 1, "C2"}, {29, 3, 0, 2, "C9"},
                          {7, 13, 0, 2, "R3"}};
    for (const Part& part : parts) {
        if (part.kind == 0) {
            // Body over columns i+1..i+2, pads at columns i and i+3.
            for (int r = -1; r <= part.pins; ++r)
                for (int c = 0; c < 4; ++c) layout.Node(part.i + c, part.j + r) = 1;
            const float x0 = Fx(part.i * kPitch), x1 = Fx((part.i + 3) * kPitch);
            const float y0 = Fx(part.j * kPitch), y1 = Fx((part.j + part.pins - 1) * kPitch);
            DrawLine(&silk, x0 + 4, y0 - 6, x1 - 4, y0 - 6, 1.2f);
            DrawLine(&silk, x0 + 4, y1 + 6, x1 - 4, y1 + 6, 1.2f);
            DrawLine(&silk, x0 + 4, y0 - 6, x0 + 4, y1 + 6, 1.2f);
            DrawLine(&silk, x1 - 4, y0 - 6, x1 - 4, y1 + 6, 1.2f);
            FillRect(&body, x0 + 5.5f, y0 - 4.5f, x1 - 5.5f, y1 + 4.5f);
            FillCircle(&silk, x0 + 9, y0 - 1, 1.3f);
            Letter(&silk, part.label, 9, x0 - 4, y0 - 8, TEXT_LEFT);
            for (int r = 0; r < part.pins; ++r) {
                const float y = Fx((part.j + r) * kPitch);
                FillRect(&pads, x0 - 3.5f, y - 2, x0 + 3.5f, y + 2);
                FillRect(&pads, x1 - 3.5f, y - 2, x1 + 3.5f, y + 2);
                const uint32_t hs =
                    Hash(seed, static_cast<uint32_t>(part.i), static_cast<uint32_t>(r));
                if (hs % 5 != 0)
                    RouteTrace(&layout, &copper, &vias, part.i - 1, part.j + r, 4,
                               3 + static_cast<int>(hs % 9), hs);
                if ((hs >> 8) % 5 != 0)
                    RouteTrace(&layout, &copper, &vias, part.i + 4, part.j + r, 0,
                               3 + static_cast<int>((hs >> 4) % 9), hs + 1);
                DrawLine(&copper, x0 - 8, y, x0, y, 3.2f);
                DrawLine(&copper, x1, y, x1 + 8, y, 3.2f);
            }
        } else {
            // Two pads one node apart (kind 1 across, kind 2 down), a silkscreen box and a label.
            const bool across = part.kind == 1;
            const int ai = part.i, aj = part.j, bi = part.i + (across ? 1 : 0),
                      bj = part.j + (across ? 0 : 1);
            layout.Node(ai, aj) = layout.Node(bi, bj) = 1;
            const float ax = Fx(ai * kPitch), ay = Fx(aj * kPitch), bx = Fx(bi * kPitch),
                        by = Fx(bj * kPitch);
            FillRect(&pads, ax - 2.5f, ay - 2.5f, ax + 2.5f, ay + 2.5f);
            FillRect(&pads, bx - 2.5f, by - 2.5f, bx + 2.5f, by + 2.5f);
            DrawLine(&silk, ax - 5, ay - 5, bx + 5, ay - 5, 1.0f);
            DrawLine(&silk, ax - 5, by + 5, bx + 5, by + 5, 1.0f);
            DrawLine(&silk, ax - 5, ay - 5, ax - 5, by + 5, 1.0f);
            DrawLine(&silk, bx + 5, ay - 5, bx + 5, by + 5, 1.0f);
            if (across)
                Letter(&silk, part.label, 8, (ax + bx) / 2, ay - 7);
            else
                Letter(&silk, part.label, 8, ax + 7, (ay + by) / 2 + 3, TEXT_LEFT);
            const uint32_t hs =
                Hash(seed, static_cast<uint32_t>(part.i), static_cast<uint32_t>(part.j), 3);
            RouteTrace(&layout, &copper, &vias, ai, aj, across ? 4 : 6,
                       4 + static_cast<int>(hs % 8), hs);
            RouteTrace(&layout, &copper, &vias, bi, bj, across ? 0 : 2,
                       4 + static_cast<int>((hs >> 5) % 8), hs + 1);
        }
    }
    // Free traces between vias fill the rest of the board.
    for (int k = 0; k < 60; ++k) {
        const uint32_t hs = Hash(seed, 1000, static_cast<uint32_t>(k));
        const int i = static_cast<int>(hs % static_cast<uint32_t>(layout.n));
        const int j = static_cast<int>((hs >> 8) % static_cast<uint32_t>(layout.n));
        if (layout.Node(i, j)) continue;
        FillCircle(&vias, Fx(i * kPitch), Fx(j * kPitch), 3.4f);
        RouteTrace(&layout, &copper, &vias, i, j, static_cast<int>((hs >> 16) % 8),
                   4 + static_cast<int>((hs >> 20) % 14), hs + 7);
    }
    // Silkscreen marks: a board name and fiducials.
    Letter(&silk, "TRX-3D REV.B", 9, 136, 125, TEXT_LEFT);
    for (const auto& f : {std::pair<float, float>{236, 60}, {60, 228}}) {
        FillRing(&silk, f.first, f.second, 4.5f, 1.0f);
        FillCircle(&pads, f.first, f.second, 2.0f);
    }
    // Relief: the copper under the mask stands up a little; lighting picks out its edges.
    const Field raised = Blur(Max(copper, pads), 0.8f);
    const Field light = Lighting(raised, 2.5f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t i, float* p) {
        const float l = light.v[i];
        if (vias.v[i] > 0.5f) {
            // A tinned ring (the drill holes are punched in below).
            SetRgb(p, l > 0.66f ? 0xe0e0d0 : l < 0.55f ? 0x7a7a70 : 0xb0b0a4);
            return;
        }
        if (pads.v[i] > 0.5f) {
            SetRgb(p, l > 0.66f ? 0xf8e088 : l < 0.55f ? 0x9a7020 : 0xd0a040);
            return;
        }
        if (body.v[i] > 0.5f) {
            // The chip: dark plastic, its upper edge catching the light, the pin-1 dot on it.
            const bool edge =
                body.v[i] < 0.99f || At(body, x, y - 1) < 0.5f || At(body, x - 1, y) < 0.5f;
            SetRgb(p, silk.v[i] > 0.5f ? 0x5a5a60 : edge ? 0x3a3a40 : 0x18181c);
            return;
        }
        if (silk.v[i] > 0.5f) {
            SetRgb(p, 0xe8ecd8);
            return;
        }
        if (copper.v[i] > 0.5f) {
            SetRgb(p, l > 0.66f ? 0x4aa860 : l < 0.56f ? 0x145a28 : 0x2a803e);
            return;
        }
        // Bare mask over the glass weave: two tones in a fine basket pattern.
        const bool weave = (((x >> 2) + (y >> 2)) & 1) != 0;
        SetRgb(p, l < 0.56f ? 0x06301a : weave ? 0x0c4424 : 0x0a3e20);
    });
    // Drill holes in the middle of each via.
    for (int j = 0; j < layout.n; ++j)
        for (int i = 0; i < layout.n; ++i) {
            const float cx = Fx(i * kPitch), cy = Fx(j * kPitch);
            if (At(vias, static_cast<int>(cx), static_cast<int>(cy)) < 0.9f) continue;
            for (int y = -2; y <= 1; ++y)
                for (int x = -2; x <= 1; ++x) {
                    const float d = std::hypot(Fx(x) + 0.5f, Fx(y) + 0.5f);
                    if (d < 1.6f)
                        SetRgb(Px(im, static_cast<int>(cx) + x, static_cast<int>(cy) + y),
                               0x101410);
                }
        }
    out->push_back(im);
}

namespace {

// A path of the pulses: a polyline in texels, closed (the last point joins the first) or crossing
// the tile (its end is its start moved by one tile width).
struct PulsePath {
    std::vector<std::pair<float, float>> points;
    bool reverse;  // pulses run from the end toward the start
};

}  // namespace

void MakeDataFlow(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const float W = Fx(w);
    // Paths across the tile come back in at the same height; the octagon is closed.
    const std::vector<PulsePath> all = {
        {{{0, 20}, {40, 20}, {56, 36}, {92, 36}, {108, 20}, {W, 20}}, false},
        {{{0, 60}, {24, 60}, {32, 52}, {72, 52}, {88, 68}, {104, 68}, {112, 60}, {W, 60}}, true},
        {{{0, 104}, {28, 104}, {44, 88}, {64, 88}, {80, 104}, {W, 104}}, false},
        {{{96, 80},
          {112, 80},
          {120, 88},
          {120, 100},
          {112, 108},
          {96, 108},
          {88, 100},
          {88, 88},
          {96, 80}},
         true},
    };
    // Trace under the pulses, then per frame the pulses: a bright head and a fading tail.
    Field trace = MakeField(w, h);
    for (const PulsePath& p : all)
        for (size_t k = 0; k + 1 < p.points.size(); ++k)
            DrawLine(&trace, p.points[k].first, p.points[k].second, p.points[k + 1].first,
                     p.points[k + 1].second, 2.0f);
    for (int f = 0; f < s.frames; ++f) {
        Field pulse = MakeField(w, h);
        for (size_t n = 0; n < all.size(); ++n) {
            const PulsePath& p = all[n];
            float length = 0;
            for (size_t k = 0; k + 1 < p.points.size(); ++k)
                length += std::hypot(p.points[k + 1].first - p.points[k].first,
                                     p.points[k + 1].second - p.points[k].second);
            const int count = std::max(1, static_cast<int>(std::lround(length / 44)));
            const float spacing = length / Fx(count);
            // Each frame moves the pulses 1/8 of the spacing, so frame 8 would be frame 0 again.
            const float phase =
                spacing * (Fx(f) / Fx(s.frames) + Rand01(72, static_cast<uint32_t>(n)));
            float at = 0;
            for (size_t k = 0; k + 1 < p.points.size(); ++k) {
                const float x0 = p.points[k].first, y0 = p.points[k].second;
                const float x1 = p.points[k + 1].first, y1 = p.points[k + 1].second;
                const float seg = std::hypot(x1 - x0, y1 - y0);
                for (float t = 0; t < seg; t += 0.5f) {
                    const float pos = p.reverse ? length - (at + t) : at + t;
                    float behind = std::fmod(phase - pos, spacing);
                    if (behind < 0) behind += spacing;
                    const float ahead = spacing - behind;
                    const float v = std::exp(-behind / 12.0f) + std::exp(-ahead / 1.5f) * 0.8f;
                    if (v < 0.02f) continue;
                    const float x = x0 + (x1 - x0) * t / seg, y = y0 + (y1 - y0) * t / seg;
                    FillCircle(&pulse, x, y, 1.3f + 0.6f * std::min(1.0f, v), std::min(1.0f, v));
                }
                at += seg;
            }
        }
        const Field near = Blur(pulse, 1.5f), far = Blur(pulse, 4.0f);
        Img im = MakeImg(w, h);
        Field alpha = MakeField(w, h);
        EachTexel(&im, [&](int, int, size_t i, float* px) {
            const float core = pulse.v[i], glow = Clamp01(near.v[i] * 1.5f + far.v[i] * 1.5f);
            px[0] = Clamp01(0.25f + 0.75f * core * core);
            px[1] = Clamp01(0.85f + 0.15f * core);
            px[2] = Clamp01(0.7f + 0.3f * core);
            alpha.v[i] = Clamp01(std::max(core, glow * 0.9f) + trace.v[i] * 0.3f);
        });
        SetAlpha(&im, alpha);
        out->push_back(im);
    }
}

void MakeCreditPlate(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const int index = s.id - TextureId("credit_0");
    const char* line = CreditLines()[static_cast<size_t>(index)];
    // A dark brushed steel plate with a bevelled edge and four screws; the line engraved into it
    // and filled with bright enamel, a dark cut edge round each letter.
    Field text = MakeField(w, h);
    const float size = FitSize(line, 30, Fx(w) - 40);
    float ascender = size * 0.73f;  // cap height of DejaVu Sans Bold
    Letter(&text, line, size, Fx(w) / 2, Fx(h) / 2 + ascender / 2);
    Field height = BorderBevel(w, h, 5);
    const Field cut = Blur(text, 1.2f);
    height = Add(height, cut, -0.5f);
    Field screws = MakeField(w, h);
    const float sx[2] = {10, Fx(w) - 10}, sy[2] = {10, Fx(h) - 10};
    for (float x : sx)
        for (float y : sy) FillCircle(&screws, x, y, 3.6f);
    height = Add(height, Blur(screws, 0.8f), 0.4f);
    const Field light = Lighting(height, 6.0f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t i, float* p) {
        const float brush = Brushed(x, y, w, 80 + static_cast<uint32_t>(index));
        const float lit = Clamp01(0.5f + (light.v[i] - 0.6f) * 1.8f);
        const float metal = (0.14f + 0.1f * brush) * (0.5f + lit);
        float c[3] = {metal, metal * 1.03f, metal * 1.1f};
        // The cut's shadow round the letters, then the enamel.
        const float shadow = Clamp01(cut.v[i] * 2.2f) * (1 - text.v[i]);
        for (int ch = 0; ch < 3; ++ch) c[ch] *= 1 - 0.7f * shadow;
        float enamel[3];
        Rgb(0xffe8b0, enamel);
        for (int ch = 0; ch < 3; ++ch)
            p[ch] = Mixf(c[ch], enamel[ch] * (0.85f + 0.15f * lit), text.v[i]);
        if (screws.v[i] > 0.5f) {
            // Screw heads with a slot.
            for (int ch = 0; ch < 3; ++ch) p[ch] = 0.25f + 0.4f * lit;
        }
    });
    for (float x : sx)
        for (float y : sy) {
            Field slot = MakeField(w, h);
            DrawLine(&slot, x - 2.5f, y + 1.5f, x + 2.5f, y - 1.5f, 1.0f);
            for (int yy = static_cast<int>(y) - 4; yy <= static_cast<int>(y) + 4; ++yy)
                for (int xx = static_cast<int>(x) - 4; xx <= static_cast<int>(x) + 4; ++xx) {
                    float* p = Px(im, xx, yy);
                    const float k = 1 - 0.7f * At(slot, xx, yy);
                    for (int ch = 0; ch < 3; ++ch) p[ch] *= k;
                }
        }
    Clamp(&im);
    out->push_back(im);
}
