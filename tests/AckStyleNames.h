#pragma once

#include "sim/SimProcessor.h"

// A simulated processor's acknowledgement style as a test's name takes it.
inline const char* AckStyleName(SimAckStyle style) {
    switch (style) {
    case SimAckStyle::Echo:
        return "Echo";
    case SimAckStyle::Generic:
        return "Generic";
    case SimAckStyle::Dsp:
        return "Dsp";
    }
    return "";
}
