#pragma once
// The picture files: camera images, snapshots of the camera view with the
// scan area, images of the main and the map windows, saved into the dated
// measurement folder (results/result_files.h). Every picture is PNG data,
// whatever its ".jpg" name says. Existing pictures are never overwritten.

#include "services/data_paths.h"

#include <windows.h>

#include <string>

class Camera;

// Numbers in the names of camera images "camera(%d).jpg", view snapshots and
// map-window images "<prefix>(%d).jpg"; they never go back during a run.
extern int cameraImageCount;
extern int viewSnapshotCount;
extern int windowImageCount;

// The class identifier of the GDI+ encoder of this MIME type; false if none.
bool findEncoderClsid(const wchar_t* mimeType, CLSID* clsid);
// Writes the bitmap (not selected into any DC) as PNG; false on failure.
bool saveBitmapFile(HBITMAP bitmap, const wchar_t* fileName);

// "Save Camera Image" (menu 32822): the camera image, or the window image
// while the wide-view mosaic is shown.
void saveCameraImageCommand();
// The frame with the scale bar (and, with drawArea, the scan area) into
// "camera(n).jpg", and onto the window; no laser-spot circle. Returns the
// result of the last GDI step. A picture not saved is reported ("Error in
// saving image", as every picture save below) and not shown as saved: 0.
int saveCameraImage(Camera& camera, HWND window, const std::uint8_t* pixels, int drawArea, const int area[4]);
// A bitmap already drawn, saved as the next camera image, with its record.
bool saveCameraImageBitmap(HBITMAP bitmap);
// "Save Window Image" (menu 32804): the camera area of the window as shown,
// into "optic.jpg", "optic_0.jpg", ..., with its record; 0 when not saved.
int saveWindowImage(DataPaths& paths, HWND window);
// The window's picture area with the scan area drawn on it, as
// "<prefix>(n).jpg"; frameSize takes the camera picture's size instead of
// the client area's. Returns 1, or 0 when it was not saved. The file's path goes
// to *saved (empty when none was written): the map scan records it.
int saveViewSnapshot(DataPaths& paths, HWND window, int frameSize, const char* prefix, const int area[4],
                     std::wstring* saved = nullptr);
// The whole client area of a map window as "<prefix>(n).jpg"; on failure
// asks the operator to try again. Returns 1; the path as above.
int saveMapWindowImage(DataPaths& paths, HWND window, const char* prefix, std::wstring* saved = nullptr);
