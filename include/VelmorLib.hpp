// A small header-only C++ face over VelmorLib's C functions (VelmorLib.h, VelmorLibExtras.h):
// records with their size set, result codes as exceptions, and held units released by their
// destructors, for C++11 and later. It adds no symbol to the library; every call goes through
// the C functions.
//
//     velmor::check(initialise(), "initialise");
//     velmor::HeldUnit unit("JXah00102");               // found by serial number and held
//     velmor::check(moveMotorRelative(unit.index(), 200), "moveMotorRelative");
//     auto status = velmor::sized<VelmorMotorStatus>();
//     velmor::check(velmorGetMotorStatus(unit.index(), &status), "velmorGetMotorStatus");
#ifndef VELMORLIB_HPP
#define VELMORLIB_HPP

#include "VelmorLibExtras.h"

#include <stdexcept>
#include <string>

namespace velmor {

// A record of VelmorLibExtras.h, zeroed, with `size` set as every companion function wants it.
template <typename Record>
Record sized()
{
    Record record{};
    record.size = sizeof(Record);
    return record;
}

// A result code other than VELMOR_OK, with the function that returned it.
class Error : public std::runtime_error
{
public:
    Error(int32_t code, const std::string &function)
        : std::runtime_error(function + ": " + velmorResultText(code) + " (result code " + std::to_string(code) + ")")
        , m_code(code)
        , m_function(function)
    {
    }

    int32_t code() const noexcept { return m_code; }
    const std::string &function() const noexcept { return m_function; }
    // The constant's name, "VELMOR_ERROR_OPEN_FAILED" for 3.
    std::string name() const { return velmorResultName(m_code); }

private:
    int32_t m_code;
    std::string m_function;
};

// Throws Error for any code but VELMOR_OK; returns VELMOR_OK.
inline int32_t check(int32_t code, const char *function)
{
    if (code != VELMOR_OK)
        throw Error(code, function);
    return code;
}

// A unit held open for the life of the object: by index (velmorHoldUnit) or by USB serial
// number (velmorHoldUnitBySerial). The destructor releases the index. Move-only. The library
// does not count holds: of two objects holding one index, the first destroyed releases it.
class HeldUnit
{
public:
    explicit HeldUnit(int32_t deviceIndex)
        : m_index(deviceIndex)
    {
        check(velmorHoldUnit(deviceIndex), "velmorHoldUnit");
    }

    explicit HeldUnit(const std::string &serialNumber)
    {
        int32_t index = 0;
        check(velmorHoldUnitBySerial(serialNumber.c_str(), &index), "velmorHoldUnitBySerial");
        m_index = index;
    }

    HeldUnit(HeldUnit &&other) noexcept
        : m_index(other.m_index)
    {
        other.m_index = 0;
    }

    HeldUnit &operator=(HeldUnit &&other) noexcept
    {
        if (this != &other) {
            release();
            m_index = other.m_index;
            other.m_index = 0;
        }
        return *this;
    }

    HeldUnit(const HeldUnit &) = delete;
    HeldUnit &operator=(const HeldUnit &) = delete;

    ~HeldUnit() { release(); }

    // The index the unit is held at; 0 once moved from.
    int32_t index() const noexcept { return m_index; }

    // What the library knows of the index now, without opening anything.
    VelmorUnitState state() const
    {
        auto unitState = sized<VelmorUnitState>();
        check(velmorGetUnitState(m_index, &unitState), "velmorGetUnitState");
        return unitState;
    }

private:
    void release() noexcept
    {
        if (m_index != 0)
            velmorReleaseUnit(m_index);
        m_index = 0;
    }

    int32_t m_index = 0;
};

} // namespace velmor

#endif // VELMORLIB_HPP
