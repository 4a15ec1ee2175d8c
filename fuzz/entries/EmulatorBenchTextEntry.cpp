// The input: the text of VELMOR_EMULATOR_BENCH.
#include "DefaultBench.h"
#include "FuzzEntries.h"

namespace {

QString hex(const std::string &bytes)
{
    return QString::fromLatin1(QByteArray::fromStdString(bytes).toHex());
}

// Every unit the emulator takes has a serial number D2XX can list as it is.
QString checkUnit(const VelmorEmulator::BenchItem &item)
{
    if (!item.isUnit)
        return QStringLiteral("an interface without a unit from the text");
    const std::string &serial = item.unit.serial;
    if (serial.empty() || serial.size() > 15)
        return QStringLiteral("serial %1 of %2 characters taken").arg(hex(serial)).arg(serial.size());
    for (char c : serial) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F)
            return QStringLiteral("serial %1 with a blank or a control character taken").arg(hex(serial));
    }
    return QString();
}

} // namespace

QString FuzzEntries::emulatorBenchText(const QByteArray &input)
{
    const std::string text = input.toStdString();
    std::vector<std::string> rejections;
    const std::vector<VelmorEmulator::BenchItem> items = VelmorEmulator::parseBench(text, &rejections);
    for (const VelmorEmulator::BenchItem &item : items) {
        const QString broken = checkUnit(item);
        if (!broken.isEmpty())
            return broken;
    }
    for (const std::string &rejection : rejections) {
        if (rejection.find("' left out: ") == std::string::npos)
            return QStringLiteral("a rejection without its reason: %1").arg(hex(rejection));
    }
    // The bench's own text gives the same units again, with nothing left out.
    const std::string written = VelmorEmulator::benchText(items);
    std::vector<std::string> again;
    const std::vector<VelmorEmulator::BenchItem> reread = VelmorEmulator::parseBench(written, &again);
    if (!again.empty() || VelmorEmulator::benchText(reread) != written)
        return QStringLiteral("the bench text %1 does not read back").arg(hex(written));
    return QString();
}
