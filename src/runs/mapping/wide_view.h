#pragma once
// The "Wide View" button: a 3 x 3 mosaic of camera frames around the present
// stage position in place of the live picture. The mosaic stays, with clicks
// and the scan-area selection in mosaic coordinates (view scale 3), until
// live video is switched on again.

// The caller has stopped live video. Visits the nine positions, draws each
// frame into its cell and the wide scale bar, and brings the stage back to
// where it was, also after a confirmed stop (which ends the visits after the
// tile at hand). Returns 1.
int runWideView();
