// timeline.h: the script of the show. DemoTimeline runs once for every frame number, in order and
// without gaps (catch-up steps included), and decides from the frame number which sounds start,
// which models are drawn where, where the camera is and which lights shine.
#pragma once

#include <cstdint>

#include "bass.h"
#include "device.h"
#include "trx_math.h"

// Frame constants of the script. The end of the show (2874) is endFrame in Navek.h.
constexpr int32_t titleStart = 0;                      // title part: cpu model, title pictures
constexpr int32_t title1Length = 100;                  // first title
constexpr int32_t title2Length = 200;                  // second title
constexpr int32_t heroStart = titleStart + 300;        // main part: the hero walks in
constexpr int32_t heroActStart = heroStart + 130;      // the hero's acting phases
constexpr int32_t heroExitStart = heroActStart + 380;  // the hero's last phase
constexpr int32_t objectStart = 1030;                  // objekt enters
constexpr int32_t finalStart = 1624;                   // final part, second music
constexpr int32_t walkInLength = 100;
constexpr int32_t act1Length = 66;
constexpr int32_t blendLength = 20;
constexpr int32_t act2Length = 72;
constexpr int32_t finalCameraLength = 1100;

// The sounds the script starts, loaded at start-up by the program (null when a file did not load:
// playing one then does nothing).
struct DemoSounds {
    HSAMPLE sampleDoor, sampleMagic, sampleThunder, sampleEnd, sampleBoot, sampleStorm;
    HMUSIC musicTeufel, musicTitles;
};
extern DemoSounds sounds;

// State carried from frame to frame (all zero at start).
extern float angle1, angle2, angle3;  // cpu spin in the title, objekt's rotation later
extern Matrix heroMatrix;             // where the hero is drawn
extern Matrix heroStep;               // what one walking frame adds to heroMatrix
extern int32_t flashCount;            // rendered frames of lightning still to come
extern int32_t heroHold;              // frames the hero has spent on its keyframe at 3000

// One frame of the script. skipRender set (catch-up step): only what changes state runs (sound and
// music events, animation steps, angles, the hero's walking matrix, counters); no geometry,
// lights or camera.
void DemoTimeline(float frame, byte skipRender);

// Puts the carried state back to its start values and re-arms the seeding of rand, so a second
// run of the show in one process (tests) repeats the first.
void ResetTimeline(void);
