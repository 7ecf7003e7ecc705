#pragma once
// The map commands of the main window's menu: the map windows shown with the
// maps held, and the maps saved again.

// "Show Nerin View" (131) and the "Nerin map" button.
void showNerinView();
// "Show Confocal Image" (2104, the "Confocal" button: all channels, only
// with the confocal option) and the red, green and blue commands
// (32839..32841: channel 1..3).
void showConfocalImage(int channel);

// "Save Maps" (32833): into this run's measurement folder, made if there is
// none, each table with the record of the scan that measured the maps.
// Nothing during a run; with no map scanned yet (or the last scan refused
// for want of memory) the operator is told and nothing is written.
void saveMapsCommand();
