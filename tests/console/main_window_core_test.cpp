// The jog pad, clicks on the camera picture and the dialog fields' float
// reader, as rows of main_window_core.scenario: the numbers there are worked
// out by hand from the picture's 1232 x 1028 pixels and the pad's buttons.

#include "console/dialog_fields.h"
#include "console/image_click.h"
#include "support/scenario.h"
#include "views/jog_pad.h"

namespace {

using scenario::Args;
using scenario::str;

int whole(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }
std::string moved(const std::optional<JogMove>& m) {
  return m ? std::string(1, "XYZ"[static_cast<int>(m->axis)]) + " " + str(m->distanceUm) : "none";
}

const scenario::Steps steps = {
    {"button-at", [](const Args& a) -> std::string {
       const auto b = jogButtonAt(JogPad{}, whole(a, 1), whole(a, 2));
       return b ? std::string(&"-X+X+Y-Y+Z-Z"[2 * *b], 2) : "none";
     }},
    {"jog", [](const Args& a) -> std::string {
       JogPad pad;
       pad.jogStepUm = whole(a, 2);
       return moved(jogPadMove(pad, static_cast<JogButton>(std::string("-X+X+Y-Y+Z-Z").find(a.at(1)) / 2)));
     }},
    {"key", [](const Args& a) -> std::string { return moved(keyJogMove(std::stoi(a.at(1), nullptr, 16))); }},
    {"click", [](const Args& a) -> std::string {
       const std::optional<ImageClick> c = imageClickAt(whole(a, 1), whole(a, 2));
       return c ? str(c->x) + " " + str(c->yTop) + " " + str(c->y) + " byte " + str(framePixelOffset(*c)) : "none";
     }},
    // x y-top y, to the centre or the spot (x y), field of view, view scale
    {"offset", [](const Args& a) -> std::string {
       const ImageClick click{whole(a, 1), whole(a, 2), whole(a, 3)};
       const StageOffset o = clickOffsetUm(click, a.at(4) == "centre" ? ClickTarget::ImageCentre : ClickTarget::LaserSpot,
                                           whole(a, 5), whole(a, 6), std::stod(a.at(7)), whole(a, 8));
       return str(o.xUm) + " " + str(o.yUm);
     }},
    {"finite", [](const Args& a) -> std::string {
       float value = 2.5f;
       const bool read = readFiniteFloat(a.at(1).c_str(), value);
       return (read ? "" : "no ") + str(value);
     }},
};

TEST(MainWindowCore, Scenarios) {
  scenario::runFile(MAIN_WINDOW_CORE_SCENARIO, steps);
}

}  // namespace
