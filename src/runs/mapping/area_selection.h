#pragma once
// The scan area dragged with the left mouse button on the camera picture:
// an inverting rubber band follows the pointer, and at the release the
// operator is asked whether it becomes the area of the next scan, which is
// then drawn as a green rectangle. Live video stays off afterwards, so the
// frozen picture keeps the rectangle.

// Left button down on the camera picture (client pixels), no drag active.
void beginAreaDrag(int x, int y);
// The pointer moved with the left button held.
void dragAreaTo(int x, int y);
// Left button up while a drag is active.
void finishAreaDrag();
// The rectangle from (x1, y1) to (x2, y2) becomes the area of the next
// scan, as a drag the operator confirmed makes it: the scan geometry, the
// estimate in "Time/estimated", the green rectangle on the picture.
void takeScanArea(int x1, int y1, int x2, int y2);
