#pragma once
// The one reading of the photocurrent, in microamperes, from the meter the
// operator selected (currentEquipment): 0 "Arduino" gives small
// pseudo-random test values, 1 "NI-DAQ" reads 0, 2..4 the GPIB multimeter,
// the GPIB sourcemeter and the USB sourcemeter. A failed read gives 0.
// Blocks until the instrument has answered; never shows anything.
float readCurrent();

// Sets the selected sourcemeter (GPIB 3 or USB 4) to biasV volts with
// currentLimit, output on; the other meters take no bias.
void applyBiasToSourcemeter(float biasV);
