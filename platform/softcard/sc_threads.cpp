// sc_threads.cpp: drawing on several threads. A card with n > 1 threads queues its draws (state
// and vertices copied) and draws them when something needs the pixels: each of n threads (the
// caller's and n - 1 workers started once with the card) draws the whole queue, in order, into
// its own band of rows. A pixel belongs to exactly one band and sees the draws in the order they
// were made, and every rasteriser step of a row depends on that row alone, so the pixels are
// those of one thread, bit for bit.
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "sc_internal.h"
#include "win32_standin.h"

namespace {

constexpr int kMaxThreads = 64;
// Vertices a queue holds before it is drawn anyway, to bound its memory (2.8 MB).
constexpr size_t kMaxQueuedVertices = 100000;

// The widest copy of the rasteriser this processor runs (the plain one off x86-64).
ScSimd Widest() {
#if SC_SIMD_COPIES
    static const ScSimd widest = [] {
        if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi") ||
            !__builtin_cpu_supports("bmi2"))
            return SC_SIMD_NONE;
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
            return SC_SIMD_AVX512;
        return SC_SIMD_AVX2;
    }();
    return widest;
#else
    return SC_SIMD_NONE;
#endif
}

// Every card, so that a texture about to change can have the draws that use it done first.
// Cards are made, used and destroyed on one thread (the card is not thread-safe).
std::vector<ScCard*> g_cards;

}  // namespace

struct ScWorkers {
    std::mutex lock;
    std::condition_variable start, done;
    std::vector<std::thread> threads;
    unsigned generation = 0;  // counts flushes; a worker runs once per new value
    int busy = 0;             // workers still drawing the current flush
    bool stop = false;
};

int ScDrawRows(ScCard* card, const ScDrawState& s, int y0, int y1, ScPrim prim, const ScVertex* v,
               int count, bool draw) {
    switch (std::min(s.simd, Widest())) {
#if SC_SIMD_COPIES  // built on x86-64 only
    case SC_SIMD_AVX512: return sc_avx512::Draw(card, s, y0, y1, prim, v, count, draw);
    case SC_SIMD_AVX2: return sc_avx2::Draw(card, s, y0, y1, prim, v, count, draw);
#endif
    default: return sc_base::Draw(card, s, y0, y1, prim, v, count, draw);
    }
}

namespace {

// Band k of n: rows [k * h / n, (k + 1) * h / n).
void DrawBand(ScCard* card, int k) {
    const int y0 = int(int64_t(card->height) * k / card->threads);
    const int y1 = int(int64_t(card->height) * (k + 1) / card->threads);
    for (const ScQueuedDraw& d : card->queue)
        ScDrawRows(card, d.state, y0, y1, d.prim, card->queuedVertices.data() + d.first, d.count,
                   true);
}

void Work(ScCard* card, int k) {
    ScWorkers* w = card->workers;
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(w->lock);
            w->start.wait(hold, [&] { return w->stop || w->generation != seen; });
            if (w->stop) return;
            seen = w->generation;
        }
        DrawBand(card, k);
        std::lock_guard<std::mutex> hold(w->lock);
        if (--w->busy == 0) w->done.notify_one();
    }
}

}  // namespace

int ScDefaultThreads() {
    int n = Win32_GetOptions().cardThreads;
    if (n <= 0) {
        const char* env = std::getenv("TAMBIR_CARD_THREADS");
        n = env ? std::atoi(env) : 0;
    }
    if (n <= 0) n = int(std::thread::hardware_concurrency());
    return std::clamp(n, 1, kMaxThreads);
}

void ScFlush(ScCard* card) {
    if (!card || card->queue.empty()) return;
    ScWorkers* w = card->workers;
    {
        std::lock_guard<std::mutex> hold(w->lock);
        w->busy = int(w->threads.size());
        ++w->generation;
    }
    w->start.notify_all();
    DrawBand(card, 0);
    {
        std::unique_lock<std::mutex> hold(w->lock);
        w->done.wait(hold, [&] { return w->busy == 0; });
    }
    card->queue.clear();
    card->queuedVertices.clear();
}

void ScFlushAll() {
    for (ScCard* card : g_cards) ScFlush(card);
}

void ScStopWorkers(ScCard* card) {
    if (!card->workers) return;
    ScWorkers* w = card->workers;
    {
        std::lock_guard<std::mutex> hold(w->lock);
        w->stop = true;
    }
    w->start.notify_all();
    for (std::thread& t : w->threads) t.join();
    delete w;
    card->workers = nullptr;
    card->queue.clear();
    card->queuedVertices.clear();
}

void ScSetThreads(ScCard* card, int threads) {
    if (!card) return;
    threads = std::clamp(threads, 1, std::min(kMaxThreads, card->height));
    if (threads == card->threads && (threads == 1) == !card->workers) return;
    ScFlush(card);
    ScStopWorkers(card);
    card->threads = threads;
    g_cards.erase(std::remove(g_cards.begin(), g_cards.end(), card), g_cards.end());
    if (threads == 1) return;
    g_cards.push_back(card);
    card->workers = new ScWorkers;
    for (int k = 1; k < threads; ++k) card->workers->threads.emplace_back(Work, card, k);
}

int ScThreads(const ScCard* card) { return card ? card->threads : 0; }

void ScFinish(ScCard* card) { ScFlush(card); }

int ScDraw(ScCard* card, ScPrim prim, const ScVertex* v, int count) {
    if (!card) return -1;
    const ScDrawState s = ScCurrentState(card);
    if (card->threads <= 1) return ScDrawRows(card, s, 0, card->height, prim, v, count, true);
    // Counted now (ScDraw's result), drawn later; a draw that hands nothing to the rasteriser
    // cannot change a pixel and is not queued.
    const int n = ScDrawRows(card, s, 0, card->height, prim, v, count, false);
    if (n <= 0) return n;
    card->queue.push_back(ScQueuedDraw{s, prim, int(card->queuedVertices.size()), count});
    card->queuedVertices.insert(card->queuedVertices.end(), v, v + count);
    if (card->queuedVertices.size() >= kMaxQueuedVertices) ScFlush(card);
    return n;
}

void ScSetSimd(ScCard* card, bool on) { ScSetSimdLimit(card, on ? SC_SIMD_AVX512 : SC_SIMD_NONE); }

void ScSetSimdLimit(ScCard* card, ScSimd widest) {
    if (card) card->simd = std::clamp(widest, SC_SIMD_NONE, SC_SIMD_AVX512);
}

ScSimd ScSimdAvailable() { return Widest(); }
