// The dialog procedures of the about box, the connection settings and the clock.
#pragma once
#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Ends with IDOK when the choices were taken and saved.
INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK ClockDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
