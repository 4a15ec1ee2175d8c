#include "ResultWords.h"

#include "VelmorLib.h"

#include <array>
#include <cstddef>

namespace {

struct Words
{
    int32_t code;
    const char *name;
    const char *text;
};

#define VELMOR_WORDS(constant, text) Words{constant, #constant, text}
#define VELMOR_UNUSED(code) Words{code, "", "unused result code"}

constexpr std::array<Words, VELMOR_HIGHEST_RESULT_CODE + 1> s_words{{
    VELMOR_WORDS(VELMOR_OK, "success"),
    VELMOR_WORDS(VELMOR_ERROR_DEVICE_INDEX, "the device index is out of range"),
    VELMOR_UNUSED(2),
    VELMOR_WORDS(VELMOR_ERROR_OPEN_FAILED, "opening the unit failed"),
    VELMOR_WORDS(VELMOR_ERROR_READ_MOTOR_CONFIGURATION, "reading the motor configuration failed"),
    VELMOR_WORDS(VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION, "writing the motor configuration failed"),
    VELMOR_WORDS(VELMOR_ERROR_READ_MOTION_CONFIGURATION, "reading the motion configuration failed"),
    VELMOR_WORDS(VELMOR_ERROR_WRITE_MOTION_CONFIGURATION, "writing the motion configuration failed"),
    VELMOR_WORDS(VELMOR_ERROR_MOVE_FAILED, "the move or home request failed"),
    VELMOR_WORDS(VELMOR_ERROR_MOTOR_ON_FAILED, "switching the motor on failed"),
    VELMOR_WORDS(VELMOR_ERROR_MOTOR_OFF_FAILED, "switching the motor off failed"),
    VELMOR_WORDS(VELMOR_ERROR_STOP_FAILED, "stopping the motor failed"),
    VELMOR_WORDS(VELMOR_ERROR_READ_FAILED, "reading from the unit failed"),
    VELMOR_WORDS(VELMOR_ERROR_SET_PWM_FAILED, "setting the PWM value failed"),
    VELMOR_WORDS(VELMOR_ERROR_SET_RELAY_FAILED, "setting the relay failed"),
    VELMOR_WORDS(VELMOR_ERROR_NOT_READY_OFF, "the motor is not ready (state 0)"),
    VELMOR_WORDS(VELMOR_ERROR_NOT_READY_4, "the motor is not ready (state 4)"),
    VELMOR_UNUSED(17),
    VELMOR_WORDS(VELMOR_ERROR_NOT_READY_5, "the motor is not ready (state 5)"),
    VELMOR_WORDS(VELMOR_ERROR_NOT_READY_6, "the motor is not ready (state 6)"),
    VELMOR_WORDS(VELMOR_ERROR_NOT_READY_OTHER, "the motor is not ready (another state)"),
    VELMOR_WORDS(VELMOR_ERROR_ARGUMENT, "an argument is out of range"),
    VELMOR_WORDS(VELMOR_ERROR_WRITE_INPUT_CONFIGURATION, "writing the input configuration failed"),
    VELMOR_WORDS(VELMOR_ERROR_WRITE_BACKLASH, "writing the backlash compensation failed"),
    VELMOR_WORDS(VELMOR_ERROR_WRITE_HOME_SETTINGS, "writing the home settings failed"),
    VELMOR_WORDS(VELMOR_ERROR_ZERO_FAILED, "zeroing the position failed"),
    VELMOR_WORDS(VELMOR_ERROR_START_COMMAND, "the unit's start command failed"),
    VELMOR_WORDS(VELMOR_ERROR_NOT_INITIALISED, "the library is not initialised"),
    VELMOR_WORDS(VELMOR_ERROR_SERIAL_NOT_FOUND, "no supported unit has this serial number"),
    VELMOR_WORDS(VELMOR_ERROR_READ_INFORMATION, "reading the unit's information failed"),
    VELMOR_WORDS(VELMOR_ERROR_INFORMATION_INVALID, "the unit's information is not valid"),
    VELMOR_WORDS(VELMOR_ERROR_FIRMWARE_UNSUPPORTED, "the unit's firmware is not supported on its hardware"),
    VELMOR_WORDS(VELMOR_ERROR_NO_RELAY, "the unit has no relay"),
    VELMOR_WORDS(VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED, "setting the PWM step mode failed"),
}};

#undef VELMOR_WORDS
#undef VELMOR_UNUSED

constexpr bool eachEntryAtItsCode()
{
    for (std::size_t i = 0; i < s_words.size(); ++i) {
        if (s_words[i].code != int32_t(i))
            return false;
    }
    return true;
}

static_assert(eachEntryAtItsCode(), "the words of every result code stand at that code");

bool isKnown(int32_t code)
{
    return code >= 0 && code <= VELMOR_HIGHEST_RESULT_CODE;
}

} // namespace

const char *ResultWords::name(int32_t code)
{
    return isKnown(code) ? s_words[std::size_t(code)].name : "";
}

const char *ResultWords::text(int32_t code)
{
    return isKnown(code) ? s_words[std::size_t(code)].text : "unknown result code";
}
