#include "motion/objective_table.h"

ObjectiveTable objectiveSettings;
