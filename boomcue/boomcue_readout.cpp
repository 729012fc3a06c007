// The frequency readout and its one-shot cue.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "boomcue.h"
#include "sound_binding.h"

static const double CUE_REARM_ABOVE = 124.05;
static const double CUE_LOWER_BOUND = 123.99;
static const double CUE_UPPER_BOUND = 124.01;

// 0: armed; 1: the cue has played and 124.05 or above has not been tuned since. Shared by
// every instance of the gauge: one cue serves them all.
static uint32_t boomcue_cue_latch;

void boomcue_rearm_cue(void)
{
    boomcue_cue_latch = 0;
}

double HOST_ENTRY boomcue_readout_update(ELEMENT_STRING *element)
{
    uint32_t bcd = element->source_var[0].value.bits;

    // Each nibble prints in decimal, so the text is at most "11515.1515": 10 characters.
    char digits[16];
    wsprintfA(digits, "1%d%d.%d%d", (int)((bcd >> 12) & 0xF), (int)((bcd >> 8) & 0xF),
              (int)((bcd >> 4) & 0xF), (int)(bcd & 0xF));

    // x87 code may keep atof's result at full precision in a register: the volatile store
    // rounds it to a 32-bit float before any comparison, as the thresholds assume.
    volatile float rounded = (float)atof(digits);
    const double frequency = rounded;

    if (frequency > CUE_REARM_ABOVE)
        boomcue_cue_latch = 0;
    if (boomcue_cue_latch == 0 && frequency > CUE_LOWER_BOUND && frequency < CUE_UPPER_BOUND) {
        sound_play("sound\\QX\\Supersonic.wav", "", 0);
        boomcue_cue_latch = 1;
    }

    // The digits text never reaches 11600 and is never negative, NaN or infinite, so "%.2f"
    // prints at most five integer digits, the point and two decimals: 8 characters and the
    // terminator ("11515.15" is the longest).
    if (element->string)
        sprintf(element->string, "%.2f", frequency);
    return 0.0;
}
