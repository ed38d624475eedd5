#pragma once
// The Chip-16 tone envelope: rise 0 -> volume over the attack, fall to the sustain level
// over the decay, hold it until the tone's time is up (a short tone cuts attack and
// decay short), then fall to 0 over the release.

#include "machine/sound_event.h"

#include <cstdint>

// Level of the envelope `age` milliseconds after the tone started, for a tone of
// `durationMilliseconds`; 0 to 1 of full scale. Past the release it is 0.
double envelopeLevel(const ToneEnvelope& envelope, double age, double durationMilliseconds);

// When the release has ended: nothing more of the tone sounds after this many ms.
double envelopeEnd(const ToneEnvelope& envelope, double durationMilliseconds);
