// The scale bars' lengths and places, as rows of scale_bar.scenario (the bar
// at 218 um is checked on the screen and in the saved picture by the live
// display's tests).

#include "support/scenario.h"
#include "views/scale_bar.h"

namespace {

using scenario::Args;
using scenario::num;
using scenario::str;

const scenario::Steps steps = {
    {"length", [](const Args& a) { return str(scaleBarLengthUm(num(a, 1))); }},
    // field of view, scale: length um, left edge
    {"live", [](const Args& a) {
       const LiveScaleBar bar = liveScaleBar(num(a, 1), num(a, 2), 1232, 1028);
       return str(bar.lengthUm) + " um from " + str(bar.left);
     }},
    // field of view, wide view shown: label, left top right bottom
    {"wide", [](const Args& a) {
       const WideScaleBar bar = wideScaleBar(1232, 1028, num(a, 1), a.at(2) == "shown");
       return str(bar.labelUm) + " um " + str(bar.left) + " " + str(bar.top) + " " + str(bar.right) + " " + str(bar.bottom);
     }},
};

TEST(ScaleBar, Scenarios) {
  scenario::runFile(SCALE_BAR_SCENARIO, steps);
}

}  // namespace
