// The one file that depends on the camera back end chosen at build time
// (NERIN_CAMERA_KIND). Kept apart so that a test program can link the other
// kind's copy of it beside the same library: an object named on the link
// line comes before the library's own.
#include "devices/camera/camera.h"

#ifndef NERIN_CAMERA_KIND
#define NERIN_CAMERA_KIND 0
#endif

const int cameraKind = NERIN_CAMERA_KIND;
