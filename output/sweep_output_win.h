// The sweep output page.
#pragma once
#include <windows.h>

void StartSweep(HWND window);  // button 442
