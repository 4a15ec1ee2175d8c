#include "MatrixCell.h"

namespace matrix {

const char *nameOf(Phase phase)
{
    return phase == Phase::FirstUse ? "first use" : "warm";
}

const char *nameOf(Stage stage)
{
    switch (stage) {
    case Stage::Listing: return "listing";
    case Stage::Opening: return "opening";
    case Stage::StartCommand: return "start command";
    case Stage::Information: return "information";
    case Stage::InvalidInformation: return "invalid information";
    case Stage::FirstRequest: return "first request";
    case Stage::SecondRequest: return "second request";
    case Stage::Untouched: return "untouched";
    }
    return "?";
}

const char *nameOf(Handshake handshake)
{
    switch (handshake) {
    case Handshake::Pending: return "pending";
    case Handshake::StartedOnly: return "started only";
    case Handshake::Done: return "done";
    }
    return "?";
}

} // namespace matrix
