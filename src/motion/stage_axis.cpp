#include "motion/stage_axis.h"

StageAxis stageX;
StageAxis stageY;
StageAxis stageZ;
