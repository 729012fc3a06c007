// VQT7_Boomcue: a frequency readout that plays a one-shot cue when 124.00 is tuned.
#pragma once

#include "gauge_dispatch.h"

// The readout element's update callback: the host has just refreshed its source variable.
double HOST_ENTRY boomcue_readout_update(ELEMENT_STRING *element);

// First-draw action: arm the cue.
void boomcue_rearm_cue(void);
