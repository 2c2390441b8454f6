// The capture delay on Windows: a countdown in the status window, driven by
// a timer on the main window, between the hot key and the capture.
#pragma once

#include <cstdint>

#include "shell/shell.h"

// A capture request: the capture now, after the countdown, or nothing (a
// countdown is running already).
void RequestCapture(ShellState& shell);
// The countdown's timer, and the status window's Cancel while it counts.
// True when the message was the countdown's.
bool HandleCountdownMessage(ShellState& shell, UINT message, WPARAM wParam);
// The program ends: the countdown's timer goes with it.
void StopCountdown(ShellState& shell);
// True while a countdown runs (or its status window is being hidden).
bool CountdownRunning();

// Capture Setup's Delay list: filled and set from a delay, and read back.
void ShowDelayChoice(HWND dialog, int id, std::int32_t delay);
std::int32_t ChosenDelay(HWND dialog, int id);
