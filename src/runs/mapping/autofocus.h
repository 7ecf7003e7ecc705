#pragma once
// Autofocus on the camera: the f-factor of the frame in the camera's buffer
// around the laser spot, and the coarse-to-fine search of Z that the "Focus"
// button runs. The arithmetic is in runs/mapping/focus.h; this side grabs, moves,
// waits through the message pump and reports.

#include "runs/mapping/focus.h"

extern AutofocusState autofocus;

// The f-factor of the camera's present frame around the laser spot, also
// shown with "%.3f" in the "f-factor" field.
float focusFactor(AutofocusState& state);
// The focus level (0 .. 6) of a fresh f-factor.
int focusLevel(AutofocusState& state);

// One sweep of Z downward through the range of the present level, from R
// above the start, ending shortly after a clear peak; Z then goes to the
// best Z seen (to the start when no sample was taken). Holds scanRunning
// meanwhile. Stores the new level; returns `found`.
int focusPass(AutofocusState& state);

// The "Focus" run, once the caller has switched to the Laser view: manual
// camera, passes at finer levels while they find a peak and raise the
// level. 0 when the operator stopped it ("Focusing aborted"), 1 otherwise
// ("Focusing Completed!" or "Focusing incompleted!" in "Progress").
int runAutofocus(AutofocusState& state);
