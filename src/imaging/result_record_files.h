#pragma once
// The records beside the result files: filled in from what is in force
// when a run starts, and written as "<result file>.json" once its files
// are written.

#include "imaging/result_record.h"

#include <string>
#include <vector>

LocalTime localTimeNow();

// The record of a result started now: the settings in force, the devices
// connected or simulated, the stage where it stands; ended now too,
// completed, no files yet.
ResultRecord recordNow(const char* result);

// Writes the record beside each of the run's files, as "<path>.json", each
// naming all of them. A record that cannot be written is told on the
// status line; the result files are kept whatever happens to the records.
void writeRecordsBeside(const std::vector<std::wstring>& paths, ResultRecord record);
