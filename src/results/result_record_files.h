#pragma once
// The records beside the result files: filled in from what is in force
// when a run starts, and written as "<result file>.json" once its files
// are written.

#include "results/result_record.h"

#include <windows.h>

#include <string>
#include <vector>

LocalTime localTimeNow();

LocalTime localTimeOf(const FILETIME& utc);

// The record of a result started now: the settings in force, the devices
// connected, simulated or out of service, the stage where it stands; ended
// now too, completed, no files yet.
ResultRecord recordNow(const char* result);

// The run has ended as it ran (completed, or stopped by the operator): it
// failed instead when a device failed since the device-fault notes were
// cleared at its start, and the record names those devices and what
// failed. Call before the notes are reported (and so cleared).
void finishRecord(ResultRecord& record, RunOutcome asRun);

// Writes the record beside each of the run's files, as "<path>.json", each
// naming all of them. A record that cannot be written is told on the
// status line; the result files are kept whatever happens to the records.
// False when any record was not written.
bool writeRecordsBeside(const std::vector<std::wstring>& paths, ResultRecord record);
// The record text, already naming the files, beside each of them, as above.
bool writeRecordTextBeside(const std::vector<std::wstring>& paths, const std::string& text);
// Told of the files whose records were just written, with the record's
// text (the remote control lists what the run it started left). Null tells
// nobody.
using RecordsWrittenHook = void (*)(const std::vector<std::wstring>& paths, const std::string& text);
void setRecordsWrittenHook(RecordsWrittenHook hook);
// A file's name after its folder, in UTF-8, as records name files.
std::string recordFileName(const std::wstring& path);
