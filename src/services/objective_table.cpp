#include "services/objective_table.h"

ObjectiveTable objectiveSettings;
