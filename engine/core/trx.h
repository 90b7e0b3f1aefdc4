// trx.h: the render core. The application and the object code build the scene here every frame
// and RenderFrame turns it into draw calls on the display device.
//
// One process-wide scene: ClearScene, then append materials, normals, vertices, links (a vertex
// paired with a normal) and runs (a RunHeader followed by its VertexRefs), then RenderFrame. The
// tables grow by 256 elements and keep their memory from frame to frame, so a steady show
// allocates nothing per frame. Indexes returned by the append operations are valid until the next
// ClearScene. Light slots live apart from the scene and keep their content until rewritten.
// Single-threaded; nothing is re-entrant. Failures are result codes; broken invariants stop the
// program through AssertReport ("j>0", trx 760; "todestroy->wtable!=wvtable", trx 573).
//
// Typical frame:
//     ClearScene();
//     SetInputTransform(&objectMatrix);           // or AppendMesh(&mesh, &matrix, remap, n)
//     int mat = AddMaterial(&material), n = AddNormal(&normal), v = AddVertex(&position);
//     int link = AddLink(v, n);
//     BeginRun(3, 1, texture); AddVertexRef(link, mat, 0, 0); ...
//     RenderFrame(&view, &projection, 0);
#pragma once

#include <cstdint>

#include "device.h"
#include "trx_math.h"

// ---- scene records (also stored in model files: packed, little-endian) ----

enum PrimType {
    PRIM_TRIANGLES = 1,  // drawn by the device as it is
    PRIM_STRIP = 2,
    PRIM_FAN = 3,
    PRIM_POLYGON = 4,
    PRIM_SPRITE = 5,  // screen sprite: one vertex, u = height, v = width in pixels
    PRIM_LINES = 6,
    PRIM_EMITTER = 7,       // never drawn: its first VertexRef defines a light (material flag 8)
    PRIM_WORLD_SPRITE = 8,  // sprite whose u, v are a world size, drawn as type 5
    PRIM_FLARE = 9          // world-size sprite drawn last, after a depth-buffer test
};

// Bits of Material::flags.
enum {
    MAT_ALPHA = 1,        // alpha holds the vertex alpha
    MAT_OSCILLATE = 2,    // oscillate the colour with the animation clock
    MAT_OSC_DIFFUSE = 4,  // add the oscillation to the diffuse colour before lighting
    MAT_EMITTER = 8       // unlit; a type 7 run using it defines a light
};

// Bits of Light::flags.
enum {
    LIGHT_ENABLED = 1,
    LIGHT_POINT = 2,
    LIGHT_DIRECTIONAL = 4,
    LIGHT_SPOT = 8,
    LIGHT_OSCILLATE = 0x10
};

// Run flag of a flare: drawn even when the depth buffer hides it (then at its own depth).
enum { RUN_FLARE_ALWAYS = 0x20 };

struct Material {
    float diffuse[3];    // emitter: range, cone outer cosine, cone inner cosine of its light
    float emissive[3];   // added after lighting; emitter: the light's colour
    float amplitude[3];  // oscillation amplitude per channel
    float phase[3];      // oscillation phase per channel, in periods
    float speed;         // oscillation periods per animation-clock tick
    union {
        float alpha;         // vertex alpha 0..1 with MAT_ALPHA
        int32_t lightFlags;  // emitter: Light::flags of the light it defines
    };
    uint8_t flags;  // MAT_*
    uint8_t unused[3];
};

struct Light {
    Vec4 position;   // w = 1
    Vec4 direction;  // the direction it shines in, w = 1
    float color[3];
    float amplitude[3];
    float phase[3];
    float speed;
    float range;      // point and spot: nothing at or beyond this distance
    float coneOuter;  // spot: nothing below this cosine
    float coneInner;  // spot: full strength above this cosine
    int32_t flags;    // LIGHT_*
};

struct Link {
    int32_t normal;
    int32_t vertex;
};

struct RunHeader {
    int32_t reserved;
    uint16_t type;    // bits 0-3 PrimType, bits 4-7 run flags
    uint16_t key;     // depth-sort key
    int32_t count;    // VertexRefs that follow, 1..127
    int32_t texture;  // texture id bound before drawing; 0 none
};

struct VertexRef {
    int32_t material;  // material index; negative: no material
    int32_t link;
    float v;  // sprites: width
    float u;  // sprites: height
};

// One entry of the command list: a run header or a vertex reference.
union Command {
    RunHeader run;
    VertexRef ref;
};

static_assert(sizeof(Material) == 60, "Material is 60 bytes in files");
static_assert(sizeof(Light) == 88, "Light is 88 bytes");
static_assert(sizeof(Link) == 8, "Link is 8 bytes in files");
static_assert(sizeof(RunHeader) == 16 && sizeof(VertexRef) == 16 && sizeof(Command) == 16,
              "command entries are 16 bytes in files");

// A saved set of the five scene tables. Each table is a separate malloc-family block owned by the
// mesh until UseMesh hands it to the render core or FreeMesh releases it. In model files the
// record is a MeshFileRecord (below).
struct Mesh {
    Material* mtable;
    int32_t mcount;
    Vec4* ntable;
    int32_t ncount;
    Vec4* wtable;
    int32_t wcount;
    Link* ltable;
    int32_t lcount;
    Command* ctable;
    int32_t ccount;
};

// The Mesh record as model files store it: five 32-bit pointer slots (meaningless in a file) each
// followed by its count, in the order of Mesh. The model file reader converts it.
struct MeshFileRecord {
    uint32_t mtable;
    int32_t mcount;
    uint32_t ntable;
    int32_t ncount;
    uint32_t wtable;
    int32_t wcount;
    uint32_t ltable;
    int32_t lcount;
    uint32_t ctable;
    int32_t ccount;
};
static_assert(sizeof(MeshFileRecord) == 40, "the Mesh record is 40 bytes in files");

// Asked during lighting for every point or spot light that reaches a vertex and faces it.
// Answers 0 lit, 1 half, 2 shadowed (anything else counts as lit).
typedef byte (*ShadowCallback)(const Vec4* position, const Light* light);

// ---- scene tables ----

// Sets the counts of the five tables and the emitter list to 0; memory stays.
void ClearScene(void);
// With a matrix: copy it and transform every following AddVertex / AddNormal by it. Null: off.
void SetInputTransform(const Matrix* m);
// Each append returns the new element's index, or -1 when its table cannot grow (table unchanged).
int AddVertex(const Vec4* v);  // under the input transform: TransformPoint, w kept as computed
// n vertices a[i] x (1 - t) + b[i] x t, appended as AddVertex would append them one by one;
// the index of the first, or -1 (nothing appended) when the table cannot grow.
int AddBlendedVertices(const Vec4* a, const Vec4* b, float t, int32_t n);
int AddNormal(const Vec4* n);  // under the input transform: 3x3 part, then Normalize3
int AddMaterial(const Material* m);
int AddLink(int vertex, int normal);
// type: low 16 bits the RunHeader type, high 16 bits its key. A type 7 header is also entered in
// the emitter list. Its VertexRefs must follow directly, exactly count of them.
int BeginRun(int count, uint32_t type, int texture);
int AddVertexRef(int link, int material, float v, float u);

// Results of the render core's functions that report one (each says which it gives; the appends
// give an index or -1 instead).
enum TrxResult {
    TRX_OK = 0,
    TRX_FAILED = 1,      // SetLightCount, SetLight, GetLight: no memory or no such slot
    TRX_BAD_MODE = 247,  // SetModelTransform: another mode, or no matrix for mode 1 or 2
    TRX_NO_MEMORY = -1,  // a table, list, copy or per-frame buffer cannot be had
    TRX_RUN_CUT = -2     // RenderFrame: the command list ended inside a run
};

// ---- render state ----

// Resizes the light slots to n (new slots zeroed, so disabled). The first call also sets the model
// matrix and its inverse to identity. 0, or 1 when memory cannot be had or n < 0 (slots unchanged).
int SetLightCount(int n);
// 0, or 1 when slot is not a valid slot index.
int SetLight(int slot, const Light* light);
int GetLight(int slot, Light* out);
// Mode 0: model = inverse = identity. 1: inverse = m, model = identity. 2: model = m, inverse =
// MatInvert of a copy. 0, or 247 for another mode or a null m with mode 1 or 2 (nothing changed).
int SetModelTransform(const Matrix* m, int mode);
void SetShadowCallback(ShadowCallback callback);
// Added to each channel of every light sum. The demo sets 0.5 (0.15 in some scenes).
void SetAmbient(float level);
// Advances the animation clock every (n + 1)th call; returns the clock. The demo calls it with 0
// once per frame.
int AnimClockTick(int n);
// Frees the scene tables, the emitter list and the per-frame buffers (transformed vertices,
// outcodes, light cache, frame light list); the light slots and the sort arrays stay, and so do
// the matrices and scalar settings.
void FreeScene(void);

// ---- frame ----

// Viewport: centre (cx, cy) and size in pixels; depth range from DevGetScreenInfo 9 and 10. A
// non-zero setrect also sets the device's clip window to the rectangle. Once, at start-up.
void SetViewport(float cx, float cy, float width, float height, byte setrect);
// Transforms, classifies, lights, culls and draws the scene; view and projection may be null
// (the previous products stay). flags & 1: depth-sort the runs back to front.
// 0 drawn; -1 a per-frame buffer cannot be allocated (nothing drawn); -2 the command list ended
// inside a run (the runs before it were drawn).
int RenderFrame(const Matrix* view, const Matrix* projection, int flags);

// ---- lighting (called by RenderFrame; public for tests and tools) ----
// The light cache is sized by RenderFrame: LightLink and VertexColor are for links that existed at
// the last RenderFrame.

// Builds the frame's light list in model space from the enabled slots and the emitter runs.
// 0, or -1 when the list cannot grow.
int PrepareLights(void);
// Computes the link's light sum (plus ambient) into its LightCache record for this frame. The
// link index and its vertex must be valid; a normal index out of range gives the ambient alone.
void LightLink(int link);
// The 0xAARRGGBB colour of a vertex reference; its link and material indexes must be valid.
uint32_t VertexColor(const VertexRef* ref);

// ---- meshes ----

// Copies the five current tables into new blocks (exactly count elements; none for an empty
// table) and points the mesh at them; its previous blocks are not freed. Null mesh: nothing.
// 0, or -1 when a copy cannot be allocated (then the mesh is unchanged and nothing is leaked).
int SaveMesh(Mesh* mesh);
// Null: ClearScene. Otherwise frees the current tables and takes the mesh's blocks as the current
// tables (capacity = count). The mesh keeps pointing at them; they now belong to the render core.
// The emitter list is rebuilt from the mesh's type 7 runs.
void UseMesh(Mesh* mesh);
// Frees the mesh's five blocks and zeroes its counts. Freeing the mesh whose vertex table is the
// current one stops the program ("todestroy->wtable!=wvtable").
void FreeMesh(Mesh* todestroy);
// Appends the mesh to the scene under matrix (null: untransformed), its texture ids mapped
// through remap[0..remapCount-1] where they fall inside it. The input transform stays set to
// matrix afterwards. 0, or -1 after a failed append with every count rolled back.
int AppendMesh(const Mesh* mesh, const Matrix* matrix, const uint16_t* remap, int remapCount);
