#include "console/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  return runNerinStation(instance, showCommand);
}
