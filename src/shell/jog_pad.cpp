#include "shell/jog_pad.h"

JogPad jogPad;
