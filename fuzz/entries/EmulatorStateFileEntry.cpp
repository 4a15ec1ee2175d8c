// The input: a bench byte (bits 0-1: one of four benches), then the state file's text as the
// emulator reads it for that bench.
#include "BenchStateText.h"
#include "DefaultBench.h"
#include "FuzzEntries.h"
#include "FuzzInput.h"

namespace {

using VelmorEmulator::BenchItem;
using VelmorEmulator::BenchStateText;

const char *const kBenches[] = {
    "FT232R:JXah00102:2.1",
    "FT232R:JXah00101:2.0;FT232H:JXbh01001:1.0",
    "XSERIES:JXah02701:1.2;FT2232H:JXbh01001:1.0",
    "FT232R:JXah00101:2.0;FT232R:JXah00102:3.0;FT232H:JXbh01001:1.0",
};

velmor_firmware::UnitSetup setupOf(const BenchItem &item)
{
    velmor_firmware::UnitSetup setup = item.unit.firmware;
    setup.usbSerial = item.unit.serial;
    return setup;
}

// A unit's text the emulator takes gives a unit whose own text it takes again. (The texts are not
// compared: a saved state carries the moment it was saved.)
QString checkUnitText(const BenchItem &item, const std::string &text)
{
    velmor_firmware::Unit first(setupOf(item));
    if (!first.restoreState(text))
        return QString();
    velmor_firmware::Unit second(setupOf(item));
    if (!second.restoreState(first.saveState()))
        return QStringLiteral("a unit's own saved state is refused");
    return QString();
}

} // namespace

QString FuzzEntries::emulatorStateFile(const QByteArray &bytes)
{
    FuzzInput input(bytes);
    const std::vector<BenchItem> items = VelmorEmulator::parseBench(kBenches[input.byte() % 4]);
    const std::string bench = VelmorEmulator::benchText(items);
    const std::string text = input.rest().toStdString();
    std::string problem;
    const std::optional<std::vector<std::string>> texts = BenchStateText::unitTexts(text, bench, items.size(), &problem);
    if (!texts)
        return problem.empty() ? QStringLiteral("a file refused without its reason") : QString();
    if (!problem.empty())
        return QStringLiteral("a file taken with a problem: %1").arg(QString::fromStdString(problem));
    // The file the emulator writes from these units is read as the same units.
    const std::optional<std::vector<std::string>> again
        = BenchStateText::unitTexts(BenchStateText::compose(bench, *texts), bench, items.size());
    if (again != texts)
        return QStringLiteral("the units' texts change when written and read back");
    for (size_t unit = 0; unit < items.size(); ++unit) {
        const QString broken = checkUnitText(items[unit], (*texts)[unit]);
        if (!broken.isEmpty())
            return broken;
    }
    return QString();
}
