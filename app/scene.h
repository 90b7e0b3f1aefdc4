// scene.h: the scene set-up helpers the timeline builds its scenes from: the camera, point
// lights, the two kinds of spot light, and the temple set.
#pragma once

#include "trx.h"

struct Object;

// The camera: translation, rotation angles about x, y and z (radians) and a uniform zoom. Written
// by CameraMove or, once the free camera is on, by its keys.
extern float camTx, camTy, camTz, camRx, camRy, camRz, camZoom;
// 1 once the free camera is on (a key switches it on); the script's camera then stands still.
extern byte freeCamera;
// The view matrix RenderFrame uses.
extern Matrix viewMatrix;
// The show's own copy of the ten light slots: what it last set for each.
extern Light lightTable[10];
// How many calls the door has spent on its keyframe at 2000 (never reset).
extern int32_t doorHold;

// Moves the camera from the start pose (tx, ty, tz, rx, ry, rz, zoom) towards the end pose by
// elapsed / duration, without clamping, and rebuilds the view matrix. Does nothing while the free
// camera is on.
void CameraMove(float tx0, float ty0, float tz0, float rx0, float ry0, float rz0, float zoom0,
                float tx1, float ty1, float tz1, float rx1, float ry1, float rz1, float zoom1,
                float duration, float elapsed);
// A point light in a light slot (and in the show's table).
void SetPointLight(int slot, float x, float y, float z, float r, float g, float b, float range);
// A red (or white, for lightning) spot light at (x, y, z) shining along (dx, dy, dz), as a
// light-emitting run of the frame's scene.
void DrawRedSpot(float x, float y, float z, float dx, float dy, float dz, float range);
void DrawWhiteSpot(float x, float y, float z, float dx, float dy, float dz, float range);
// Appends the object's current keyframe mesh (its shared key's, for a shared one) to the frame's
// scene under a matrix (none: as stored), without the object's own animation step or lighting
// set-up; an object without a current key appends nothing. The input transform is reset either way.
void AppendKey(const Object* obj, const Matrix* matrix);
// The temple with its two animated copies, the door and ruvo; steps ruvo and the door.
void DrawTemple(float frame, byte skipRender);
