#include "HardwareModel.h"

#include <iterator>

namespace {

const HardwareModel s_models[] = {
    {VersionNumber(1, 1), {2}, 8000, 20000, 4, 4, true, false, false, false, false, false, VersionNumber(2, 1),
     std::nullopt, false, std::nullopt, {10, 14, 8, 10, 18, 6, 11, 0}, {}},
    {VersionNumber(1, 2), {2, 3, 4}, 8000, 20000, 4, 4, true, true, true, true, true, false, VersionNumber(2, 1),
     VersionNumber(3, 0), false, VersionNumber(4, 0), {10, 14, 11, 10, 18, 6, 11, 0},
     {{24, VersionNumber(2, 1), 11}, {25, VersionNumber(3, 0), 19}}},
    {VersionNumber(10, 1), {1}, 500, 20000, 4, 4, false, true, true, true, true, false, VersionNumber(0, 0),
     VersionNumber(0, 0), false, std::nullopt, {9, 14, 11, 11, 19, 6, 11, 1}, {}},
    {VersionNumber(27, 1), {1}, 2000, 100000, 8, 7, false, true, true, true, true, true, VersionNumber(0, 0),
     VersionNumber(0, 0), true, std::nullopt, {10, 14, 11, 11, 25, 6, 11, 2}, {}},
};

const HardwareModel s_unknown = {VersionNumber(), {}, 500, 20000, 4, 4, false, true, true, false, true, false,
                                 VersionNumber(2, 1), std::nullopt, false, std::nullopt, {}, {}};

} // namespace

const HardwareModel &HardwareModel::of(VersionNumber hardware)
{
    for (const HardwareModel &model : s_models) {
        if (model.version == hardware)
            return model;
    }
    return s_unknown;
}

qint32 HardwareModel::replyLength(qint32 action, VersionNumber firmware) const
{
    constexpr qint32 firstRead = 21;
    if (action < firstRead || action >= firstRead + qint32(readReplyLengths.size()))
        return 0;
    for (const LongerReply &longer : longerReplies) {
        if (longer.action == action && firmware >= longer.firmwareFrom)
            return longer.length;
    }
    return readReplyLengths[size_t(action - firstRead)];
}

QList<VersionNumber> HardwareModel::supportedVersions()
{
    QList<VersionNumber> versions;
    for (const HardwareModel &model : s_models)
        versions.append(model.version);
    return versions;
}
