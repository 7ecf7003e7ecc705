#include "views/jog_pad.h"

JogPad jogPad;

const char* const jogButtonLabels[jogButtonCount] = {"-X", "+X", "+Y", "-Y", "+Z", "-Z"};

namespace {

constexpr double zJogUm = 10.0;
constexpr double keyXYJogUm = 100.0;

}  // namespace

std::optional<JogButton> jogButtonAt(const JogPad& pad, int x, int y) {
  for (int i = 0; i < jogButtonCount; ++i) {
    const int* r = pad.buttons[i];
    if (r[0] < x && x < r[2] && r[1] < y && y < r[3]) return static_cast<JogButton>(i);
  }
  return std::nullopt;
}

JogMove jogPadMove(const JogPad& pad, JogButton button) {
  const double step = pad.jogStepUm;
  switch (button) {
    case jogMinusX: return {JogAxis::X, -step};
    case jogPlusX: return {JogAxis::X, step};
    case jogPlusY: return {JogAxis::Y, step};
    case jogMinusY: return {JogAxis::Y, -step};
    case jogPlusZ: return {JogAxis::Z, zJogUm};
    default: return {JogAxis::Z, -zJogUm};
  }
}

std::optional<JogMove> keyJogMove(int virtualKey) {
  switch (virtualKey) {
    case keyPageUp: return JogMove{JogAxis::Z, zJogUm};
    case keyPageDown: return JogMove{JogAxis::Z, -zJogUm};
    case keyLeft: return JogMove{JogAxis::X, -keyXYJogUm};
    case keyUp: return JogMove{JogAxis::Y, keyXYJogUm};
    case keyRight: return JogMove{JogAxis::X, keyXYJogUm};
    case keyDown: return JogMove{JogAxis::Y, -keyXYJogUm};
    default: return std::nullopt;
  }
}
