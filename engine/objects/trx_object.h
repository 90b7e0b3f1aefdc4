// trx_object.h: mesh objects, model files and keyframe interpolation.
//
// An Object is a model (a list of animations, each a sorted ring of keyframes holding a Mesh and
// an optional transform) plus the playback state of one user of that model. Objects made with
// CopyObject share the model, which counts its references and is freed with the last FreeObject.
//
//     Object hero;
//     ObjectInit(&hero);
//     LoadModel(&hero, "hrdina.mdl", nullptr);     // or AddAnim / AddKeyframe by hand
//     SelectAnim(&hero, 0, 1);
//     ...every frame, after ClearScene:
//     RenderObject(&hero, &placement, 0);         // appends the pose to the scene tables
//     NextFrame(&hero);
//     ...at shutdown:
//     FreeObject(&hero);
//
// All operations return signed 8-bit result codes (OBJ_*). Single-threaded: the object clock, the
// LZW dictionary used by the model files and the render core's scene are process-wide.
#pragma once

#include <cstdint>
#include <cstdio>

#include "trx.h"

// Result codes.
enum {
    OBJ_OK = 0,
    OBJ_RELEASED = 21,   // FreeObject released the model
    OBJ_END = 22,        // the end of a play-once animation / of a reported animation
    OBJ_NO_MATRIX = -9,  // RenderObject mode 1 without a matrix
    OBJ_NO_MEMORY = -21,
    OBJ_NO_ANIM = -22,  // no animation with this id
    OBJ_ANIM_EXISTS = -23,
    OBJ_NO_CURRENT = -24,    // no current animation
    OBJ_WRONG_ID = -25,      // the current animation does not carry the selected id
    OBJ_LAST_ANIM = -26,     // the only animation of a model cannot be removed
    OBJ_BAD_FRAME = -27,     // frame out of range, no keyframes, or span not beyond the last key
    OBJ_VERTEX_COUNT = -28,  // MorphMesh: different vertex counts
    OBJ_APPEND = -29,        // appending to the scene failed
    OBJ_SAME_MESH = -30,     // MorphMesh: both keyframes use one mesh
    OBJ_NO_KEY = -31,        // no current keyframe, or the frame lies outside its interval
    OBJ_NO_SHARED = -32,     // the shared-mesh source keyframe does not exist
    OBJ_NO_TRANSFORM = -33,  // no transform flags; GetPointMatrix: point index beyond the links
    MDL_NO_MEMORY = -41,
    MDL_WRITE = -42,
    MDL_READ = -43,  // read failed, truncated or corrupt file
    MDL_MAGIC = -44,
    MDL_CREATE = -46,
    MDL_OPEN = -47,
    MDL_VERSION = -48
};

// Object::flags.
enum {
    OBJ_OWNS_REMAP = 1,  // the object owns `remap`
    OBJ_CLOCKED = 2,     // advance the frame by the object clock when drawn
    OBJ_TICK_SCALE = 4,  // scale clock ticks by ticks_per_frame
    OBJ_TRANSITION = 8   // a transition runs
};

// Anim::flags.
enum { ANIM_ONCE = 2, ANIM_REPORT_END = 4 };

// Keyframe::flags.
enum {
    KEY_TRANSLATE = 1,
    KEY_ROTATE_X = 2,
    KEY_ROTATE_Y = 4,
    KEY_ROTATE_Z = 8,
    KEY_SCALE = 0x10,
    KEY_SHARED = 0x20,
    KEY_EASE = 0x40,
    KEY_TRANSFORMS = 0x1F
};

struct Keyframe {
    Keyframe* next;    // ring: the last points back to the first
    Keyframe* shared;  // the keyframe whose mesh this one uses (KEY_SHARED)
    int32_t frame;     // position on the key timeline, 0..span
    int32_t shared_frame;
    Mesh mesh;  // own mesh; empty for a shared-mesh keyframe
    int32_t flags;
    float translation[3];
    float rotation[3];  // radians about X, Y, Z
    float scale[3];
    int32_t point_base;  // added to a point index by GetPointMatrix
};

struct Anim {
    Anim* next;
    int32_t id;
    Keyframe* keys;  // keyframe with the lowest frame, or none
    int32_t span;    // key time at which the last keyframe has blended back into the first
    int32_t length;  // frames played
    int32_t flags;   // ANIM_*
    int32_t refs;    // objects using the model; only the first Anim's count is real
};

struct Object {
    Anim* anims;  // the model, shared by all its objects
    Anim* anim;   // current animation
    Keyframe* key;
    int32_t anim_id;
    int32_t frame;
    int32_t tick_mark;  // object-clock value up to which time has been consumed
    uint16_t* remap;    // texture remap table
    int32_t remap_count;
    float ticks_per_frame;
    int32_t flags;  // OBJ_*
    Keyframe* trans_key;
    int32_t trans_length;
    int8_t direction;  // >= 0 forward, < 0 backward
};

// What AddKeyframe takes and a keyframe record holds after its frame (48 bytes in files).
struct KeyInfo {
    int32_t flags;
    int32_t shared_frame;
    float translation[3];
    float rotation[3];
    float scale[3];
    int32_t point_base;
};
static_assert(sizeof(KeyInfo) == 48, "KeyInfo is 48 bytes in files");

// ---- objects and models ----

void ObjectInit(Object* obj);
int8_t AddAnim(Object* obj, int32_t id);
int8_t SelectAnim(Object* obj, int32_t id, int8_t direction);
int8_t SetAnimLength(Object* obj, int32_t n);
// Sets the span of the current animation. -27 unless n lies beyond its last keyframe; an
// animation without keyframes takes any span.
int8_t SetAnimSpan(Object* obj, int32_t n);
int8_t SetAnimFlags(Object* obj, int32_t set, int32_t mask);
// Removes an animation. An object whose current animation is removed (the one passed here is
// detached) must select another before it is used again.
int8_t DeleteAnim(Object* obj, int32_t id);
// Inserts a keyframe at `frame` into the current animation, replacing one at the same frame (its
// mesh is freed; keyframes sharing it then share the new one). The keyframe takes over the mesh's
// tables (the caller's Mesh is zeroed), except for a shared-mesh keyframe (info->flags &
// KEY_SHARED), which leaves the caller's Mesh alone.
int8_t AddKeyframe(Object* obj, Mesh* mesh, int32_t frame, const KeyInfo* info);
int8_t AppendKeyframe(Object* obj, Mesh* mesh);
// Installs a remap table (none: no remapping); with copy the object keeps its own copy.
int8_t SetRemapTable(Object* obj, const uint16_t* table, int32_t count, bool copy);
// A second object of the same model. The destination gets its own copy of an owned remap table,
// so each object releases its table once. -21 (destination unchanged) when the copy fails.
int8_t CopyObject(const Object* src, Object* dst);
// Releases the object; 21 when it was the model's last reference (the model is freed then), 0
// when other objects still use the model or the object had no model.
int8_t FreeObject(Object* obj);
// The next frame, wrapping (or 22 at the end of a play-once animation). During a transition it
// steps the transition's own frames; SetFrame ends the transition after trans_length of them.
int8_t NextFrame(Object* obj);
// Selects frame f and the keyframe whose interval holds its key time f x span / length; key times
// before the first keyframe select the first keyframe. -27 (nothing changed) for f outside
// 0..length-1 or an animation without keyframes.
int8_t SetFrame(Object* obj, int32_t f);
int8_t ScaleAnimLengths(Object* obj, int32_t permille);
// The process-wide object clock: advances on the first call and then on every (n + 1)th call.
int32_t ObjectClockTick(int32_t n);
// The object clock's current value (read by AdvanceObjectTime).
int32_t ObjectClockValue(void);

// ---- model files ----

// The keyframe model file ("TRXMODEL"). The object must have been through ObjectInit; loaded
// animations are added to it (ids it has already are skipped). banner: 64 bytes or null. After a
// failure the object holds what was added before it; FreeObject releases it.
int8_t LoadModel(Object* obj, const char* file, char* banner);
int8_t SaveModel(const Object* obj, const char* file, const char* banner);
// The indexed model file ("TRXMODEL1.0"): meshes only, keyframes numbered 1, 2, 3... with no
// transform; animations the object has already are skipped. Ends on frame 0 of the last one.
int8_t LoadModelV1(Object* obj, const char* file, char* banner);
int8_t SaveModelV1(const Object* obj, const char* file, const char* banner);
// The most elements of each table (materials, normals, vertices, links, commands) a mesh read
// from a file may hold: what one model may draw, and a bound on what a small file may allocate.
constexpr int32_t kMaxMeshElements = 1 << 20;
// The most a model file's meshes may unpack to together (LoadModel, LoadModelV1): a file of many
// keyframes, each a large mesh, is refused once they add up to more than this.
constexpr int32_t kMaxModelBytes = 256 << 20;
// One mesh block at the current file position. ReadMeshBlock rejects (-43) a block whose tables
// do not fit its unpacked length, exceed kMaxMeshElements (checked on the unpacked length before
// anything is allocated, and on the counts) or whose indexes leave the mesh; on failure *mesh is
// empty.
int8_t ReadMeshBlock(FILE* f, Mesh* mesh);
// Writes nothing and returns -42 (ModelFileError says why) for a mesh the reader would refuse:
// a table beyond kMaxMeshElements or an index outside the mesh (CheckMesh). SaveModel and
// SaveModelV1 write their meshes through it.
int8_t WriteMeshBlock(FILE* f, const Mesh* mesh);
int8_t SkipMeshBlock(FILE* f);
// The reason for the last -43 of a model reader, for tools ("" when there was none).
const char* ModelFileError(void);
// Checks that every index of the mesh stays inside the mesh: links name existing normals and
// vertices, references name existing links and materials (negative: none), runs count 1..127 and
// the command list ends after a whole run. 0, or -43 with ModelFileError telling why.
int8_t CheckMesh(const Mesh* mesh);

// ---- interpolation and drawing ----

// Appends the current pose to the scene under matrix (mode != 1); mode 1 only writes the keyframe
// matrix into *matrix. 0 or 22 (end reached, animations with ANIM_REPORT_END), else an error.
int8_t RenderObject(Object* obj, Matrix* matrix, int mode);
// The two keyframes (meshes resolved through KEY_SHARED), the blend t and the keyframe matrix.
// 0, -33 (no transform; *matrix untouched) or an error.
int8_t InterpolateKeys(Object* obj, Keyframe** a, Keyframe** b, float* t, Matrix* matrix);
bool KeyTransform(const Keyframe* a, const Keyframe* b, Matrix* out, float t);
int8_t MorphMesh(const Mesh* a, const Mesh* b, float t, const Matrix* matrix, const uint16_t* remap,
                 int32_t remapCount);
int8_t AdvanceObjectTime(Object* obj, Anim* anim);
// Blends from the current keyframe into animation id over |n| frames. Repeated calls that name
// the animation already blended to continue the running transition.
int8_t StartTransition(Object* obj, int32_t id, int32_t n);
// The matrix of point i (link i + point_base) of the animated surface, times *placement if given.
int8_t GetPointMatrix(Object* obj, int32_t i, const Matrix* placement, Matrix* out);
