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
