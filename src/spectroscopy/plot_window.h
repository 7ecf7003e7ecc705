#pragma once
#include <windows.h>

// Window procedure of the plot child windows ("Nerin", "CFI", "IV").
// Their drawing comes with the plot windows; until then they are plain windows.
LRESULT CALLBACK plotWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
