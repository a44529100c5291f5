#include "link/pause.h"

#include <chrono>
#include <thread>

void PauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
