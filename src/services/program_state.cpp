#include "services/program_state.h"

int currentEquipment = 4;
int standaConfig = 0;
int arduinoComPort = 12;
int gpibAddress = 18;
int scanSpeed = 500;
float biasVoltage = 0.0f;
float currentLimit = 1e-4f;
int confocalEnabled = 1;
int zCreepCorrection = 0;
int cameraAperture = 5;

double fieldOfViewUm = 89.0;
double fieldOfViewHeightUm = 89.0 * 1028.0 / 1232.0;

int deviceBusy = 0;
int scanRunning = 0;
int stopRequested = 0;
int wideViewShown = 0;
int programEnding = 0;

int idleTicks = 0;
unsigned char areaDragActive = 0;
PixelPoint dragStart;
PixelPoint dragEnd;

ScanState scanState = makeInitialScanState();

void applyFieldOfView(double widthUm) {
  fieldOfViewUm = widthUm;
  fieldOfViewHeightUm = widthUm * imageHeightPx / imageWidthPx;
  computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
}
