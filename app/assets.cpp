// assets.cpp: the show's start-up loading (see assets.h).
#include "assets.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "pcx.h"
#include "texlib.h"
#include "windows.h"

DeviceImage imgNapis1, imgHlnapis;
Object temple, hero, door, ruvo, objekt, cpu;

int LoadRemap(Object* obj, const char* file) {
    static std::vector<uint16_t> table;  // 65,536 entries while a file is read
    try {
        table.resize(65536);
    } catch (const std::bad_alloc&) {
        return OBJ_NO_MEMORY;
    }
    for (int i = 0; i < 65536; ++i) table[static_cast<size_t>(i)] = static_cast<uint16_t>(i + 1);
    std::FILE* f = std::fopen(file, "rb");
    if (!f) return 1;
    char line[500];
    int count = 0, largest = 0;
    for (;;) {
        int got = std::fscanf(f, "%499[^\r]\n", line);
        if (got == EOF) break;
        ++count;
        if (got != 1) {  // an empty line where a line was due
            std::fclose(f);
            return count;
        }
        if (line[0] == '#') continue;
        int a, b;
        if (std::sscanf(line, "%d->%d", &a, &b) != 2 || a < 0 || a > 65535 || b < 0 || b > 65535) {
            std::fclose(f);
            return count;
        }
        table[static_cast<size_t>(a)] = static_cast<uint16_t>(b);
        if (a > largest) largest = a;
    }
    std::fclose(f);
    return SetRemapTable(obj, table.data(), largest + 1, true);
}

static void LoadTitle(const char* file, DeviceImage* image) {
    TexEntry picture{};
    // The show goes on without the picture (the image stays zeroed and draws nothing).
    if (LoadPcxTexture(file, nullptr, &picture, 10, 0) != 0)
        std::fprintf(stderr, "The picture \"%s\" cannot be loaded: the show goes on without it\n",
                     file);
    DevCreateImage(image, &picture);
    // A single entry is entry 0 of a library of one.
    FreeTexture(0, reinterpret_cast<TexLib*>(&picture));
}

// A remap file that did not load leaves the model with the texture numbers it stores, which name
// other textures than the show's: the show goes on, but says why its textures look wrong.
static void ReportRemap(const char* file, int result) {
    std::FILE* f = result == 1 ? std::fopen(file, "rb") : nullptr;
    if (result == 1 && !f)
        std::fprintf(stderr, "The remap file \"%s\" cannot be opened: ", file);
    else if (result > 0)
        std::fprintf(stderr, "The remap file \"%s\" is malformed at line %d: ", file, result);
    else
        std::fprintf(stderr, "The remap file \"%s\" cannot be used (error %d): ", file, result);
    std::fprintf(stderr, "the model keeps its own texture numbers\n");
    if (f) std::fclose(f);
}

// An animation the show selects: absent or without keyframes, the show cannot draw the model.
static bool CheckAnimations(const Object* obj, const char* model, const int32_t* ids, int count) {
    for (int i = 0; i < count; ++i) {
        const int32_t id = ids[i];
        const Anim* a = obj->anims;
        while (a && a->id != id) a = a->next;
        if (a && a->keys) continue;
        char text[200];
        std::snprintf(text, sizeof text,
                      a ? "The model \"%s\" has no keyframes in animation %d"
                        : "The model \"%s\" has no animation %d",
                      model, static_cast<int>(id));
        MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

int LoadDemoData(void) {
    LoadTitle("napis1.pcx", &imgNapis1);
    LoadTitle("hlnapis.pcx", &imgHlnapis);
    const struct {
        Object* obj;
        const char* model;
        const char* remap;
        int32_t anims[4];  // the animations the show selects
        int animCount;
    } models[] = {{&temple, "chram.mdl", "chram.txi", {0, 1}, 2},
                  {&hero, "hrdina.mdl", "hrdina.txi", {0, 1, 2, 3}, 4},
                  {&door, "dvere.mdl", "dvere.txi", {0}, 1},
                  {&ruvo, "ruvo.mdl", "ruvo.txi", {0}, 1},
                  {&objekt, "objekt.mdl", "objekt.txi", {0}, 1},
                  {&cpu, "cpu.mdl", "cpu.txi", {0, 2}, 2}};
    for (const auto& m : models) {
        ObjectInit(m.obj);
        const int8_t loaded = LoadModel(m.obj, m.model, nullptr);
        if (loaded != 0) {
            char text[320];
            const char* why = loaded == MDL_OPEN ? "cannot open the file"
                              : loaded == MDL_NO_MEMORY || loaded == OBJ_NO_MEMORY ? "out of memory"
                              : loaded == MDL_READ ? ModelFileError()
                                                   : "not a model file this reader knows";
            std::snprintf(text, sizeof text, "Unable to load the model \"%s\": %s", m.model, why);
            MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONERROR);
            return 1;
        }
        if (!CheckAnimations(m.obj, m.model, m.anims, m.animCount)) return 1;
        if (m.obj == &temple) {
            SetAnimLength(&temple, 20);
            SelectAnim(&temple, 0, 1);
            temple.flags |= OBJ_TICK_SCALE;
        } else if (m.obj == &door) {
            SelectAnim(&door, 0, 1);
            door.ticks_per_frame = 1.0f;
            SetAnimLength(&door, 150);
        } else if (m.obj == &ruvo) {
            SelectAnim(&ruvo, 0, 1);
            SetFrame(&ruvo, 0);
            ruvo.flags |= OBJ_TICK_SCALE;
            ruvo.ticks_per_frame = 1.5f;
            SetAnimLength(&ruvo, 20);
        } else if (m.obj == &objekt) {
            SelectAnim(&objekt, 0, 1);
            SetAnimFlags(&objekt, ANIM_ONCE, 0);
            objekt.flags |= OBJ_TICK_SCALE;
            objekt.ticks_per_frame = 0.2f;
            SetAnimLength(&objekt, 60);
        } else if (m.obj == &cpu) {
            SelectAnim(&cpu, 0, 1);
            cpu.flags |= OBJ_TICK_SCALE;
        }
        // A remap table that cannot be held in memory stops the show like a model that cannot be
        // loaded; a missing or malformed file is said and the show goes on.
        const int remap = LoadRemap(m.obj, m.remap);
        if (remap == OBJ_NO_MEMORY) {
            char text[160];
            std::snprintf(text, sizeof text, "Unable to load the remap file \"%s\": out of memory",
                          m.remap);
            MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONERROR);
            return 1;
        }
        if (remap) ReportRemap(m.remap, remap);
    }
    return 0;
}
