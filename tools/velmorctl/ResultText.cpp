#include "ResultText.h"

#include "VelmorLib.h"

#include <iterator>

namespace {

const char *const s_texts[] = {
    "success",
    "the device index is out of range",
    "unused result code",
    "opening the unit failed",
    "reading the motor configuration failed",
    "writing the motor configuration failed",
    "reading the motion configuration failed",
    "writing the motion configuration failed",
    "the move or home request failed",
    "switching the motor on failed",
    "switching the motor off failed",
    "stopping the motor failed",
    "reading from the unit failed",
    "setting the PWM value failed",
    "setting the relay failed",
    "the motor is not ready (state 0)",
    "the motor is not ready (state 4)",
    "unused result code",
    "the motor is not ready (state 5)",
    "the motor is not ready (state 6)",
    "the motor is not ready (another state)",
    "an argument is out of range",
    "writing the input configuration failed",
    "writing the backlash compensation failed",
    "writing the home settings failed",
    "zeroing the position failed",
    "the unit's start command failed",
    "the library is not initialised",
    "no supported unit has this serial number",
    "reading the unit's information failed",
    "the unit's information is not valid",
    "the unit's firmware is not supported on its hardware",
    "the unit has no relay",
    "setting the PWM step mode failed",
};

static_assert(std::size(s_texts) == VELMOR_HIGHEST_RESULT_CODE + 1, "one text for every result code");

} // namespace

std::string ResultText::of(int32_t code)
{
    if (code >= 0 && code <= VELMOR_HIGHEST_RESULT_CODE)
        return s_texts[code];
    return "unknown result code " + std::to_string(code);
}

int32_t ResultText::highestCode()
{
    return VELMOR_HIGHEST_RESULT_CODE;
}
