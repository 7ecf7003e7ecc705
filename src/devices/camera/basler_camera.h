#pragma once
// The Basler back end of the camera: one camera through the vendor's C
// runtime. Every call the runtime refuses, and every frame wait that runs out,
// is a failure; the camera object then goes back to "not connected".

#include <cstddef>
#include <cstdint>

// The runtime, the first camera it offers, opened for control and streaming,
// and one frame within 5000 ms. False on any failure (runtime absent, no
// camera, camera busy, time-out); what was opened is released again.
bool baslerConnect(std::uint8_t* rawBuffer, std::size_t rawBytes);

// The automatic set-up: continuous auto gain and auto exposure over the whole
// sensor, then one white balance. Reports its steps on the status line.
bool baslerAutoSetup();

// The manual set-up: automatic controls off, the given gain and exposure.
bool baslerManualSetup(int gain, double exposureUs);

// The gain and exposure the camera works with now, which its automatic
// controls may have moved. False when either cannot be read.
bool baslerPresentSettings(double& gain, double& exposureUs);

enum class BaslerGrab {
  frame,    // a 2464 x 2056 Bayer frame is in the raw buffer
  noFrame,  // ten attempts gave no good frame; the camera still answers
  failed,   // a call failed or a frame did not come within 5000 ms
};
BaslerGrab baslerGrab(std::uint8_t* rawBuffer, std::size_t rawBytes);

// Closes and releases the camera, if any; the runtime stays initialised.
void baslerRelease();
// At exit: the camera and then the runtime.
void baslerShutDown();
