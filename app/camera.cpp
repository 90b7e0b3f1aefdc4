// camera.cpp: the camera values and the view matrix, shared by the scripted camera (scene.cpp),
// the free camera and the overlay (debug_overlay.cpp), and read by the frame step.
#include "scene.h"

float camTx = 0.0f, camTy = 0.0f, camTz = 0.0f;
float camRx = -1.5f, camRy = 3.14f, camRz = 3.14f;
float camZoom = 1.0f;
Matrix viewMatrix;
byte freeCamera;
