#pragma once
// The two single-spot measurements on the process-wide record: the I-V
// sweep of the USB sourcemeter's bias and the photocurrent's time evolution
// over laser on/off cycles, each plotted live in its window and saved as a
// two-column text file in the dated measurement folder.

#include <windows.h>

struct SpectroscopyRecord;

// Numbers of the next "I-V(%d).txt" and "TimeEvo(%d).txt" of this run of
// the program; a number whose file already exists is skipped.
extern int ivFileCounter;
extern int timeEvoFileCounter;

// One sweep over the 4 x N points with the range typed into the I-V window
// (clamped to [0.01, 10] V and shown back): a full sourcemeter configuration
// per point, 10 ms of message pumping, one reading, the point on the
// Information line and the curve redrawn every second point. A confirmed
// stop ends it; the points not reached read 0. The bias stays at the last
// voltage applied.
void runIvCurve(SpectroscopyRecord& record);
// The sweep's 4 x N points into the next "I-V(%d).txt"; "File saving error"
// when the file cannot be written.
void saveIvCurve(SpectroscopyRecord& record);

// repeatCount cycles of a laser-on and a laser-off phase, each lasting the
// time typed into the window (read with "%d", clamped, shown back), the
// current sampled as fast as the meter answers and time-stamped after each
// reading; the curve redrawn every tenth sample. A confirmed stop ends it
// with the laser left as it was; a completed run ends with the laser off.
void runTimeEvolution(SpectroscopyRecord& record);
// The stored samples into the next "TimeEvo(%d).txt".
void saveTimeEvolution(SpectroscopyRecord& record);

// The window procedure of the child plot windows ("IV", "Nerin", "CFI").
// Start of the I-V window (32823) runs and saves a sweep, Start of the
// time-evolution window (32824) a time evolution, each followed by the live
// video restored; a Start that arrives while a run or device sequence is
// under way is ignored. A right click clears the window to its background.
// The windows keep no plot: a repaint leaves them blank until the next
// curve. Every message then goes on to DefWindowProcW.
LRESULT CALLBACK plotWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
