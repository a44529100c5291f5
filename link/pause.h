// A pause of a few milliseconds, as short as the platform can make it.
#pragma once

void PauseMs(int ms);
