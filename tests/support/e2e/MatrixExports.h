// The exports a fault matrix runs, each on index 1 of a one-unit bench (getDeviceIndex by the
// unit's serial), with the codes their failures give and the requests they send.
#ifndef VELMOR_TESTS_MATRIXEXPORTS_H
#define VELMOR_TESTS_MATRIXEXPORTS_H

#include "MatrixCell.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace matrix {

// An out-value the export did not write.
constexpr int64_t kUntouched = -77;

struct Outcome
{
    int32_t code = -1;
    int64_t out = kUntouched;
};

// One request of a call, as the unit sees it.
struct Exchange
{
    std::string name;
    uint8_t commandCode = 0;
    bool replyCarriesData = false;
    // Requests of this code the handshake sends first (the bootloader reads of getDeviceIndex).
    int firstUseSkip = 0;
    Stage stage = Stage::FirstRequest;
};

struct ExportUnderTest
{
    enum Kind { Counts, FindsBySerial, MotorCall };
    enum OutValue { NoOut, Count, Index, Position, Ready };

    std::string name;
    Kind kind = MotorCall;
    std::function<Outcome()> call;
    int32_t firstFailure = 0;
    int32_t secondFailure = 0;  // 0: the call sends one request
    OutValue outValue = NoOut;
    std::vector<Exchange> exchanges;

    int32_t codeFor(Stage stage) const;
    // What the out-value must hold after the call; none for an export without one.
    std::optional<int64_t> expectedOut(Stage stage, int32_t code) const;
};

const ExportUnderTest &exportNamed(const std::string &name);
// getDeviceCount, getDeviceIndex and eight motor calls covering one- and two-request calls.
std::vector<const ExportUnderTest *> representativeExports();
// Every export that sends requests to a unit: all but initialise and getDeviceCount.
std::vector<const ExportUnderTest *> exportsWithExchanges();

} // namespace matrix

#endif
