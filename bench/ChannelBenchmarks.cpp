// Throughput of the two paths that carry no wire time: the buffered data channel reading what
// an emulated unit has ready at once, and the packet engine's execute on a channel in memory
// that answers every request as soon as it is written.
#include "FakeSocket.h"
#include "ScriptedRequest.h"
#include "USBFtdiDevice.h"
#include "USBPacketProtocol.h"
#include "VelmorEmulator.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <vector>

namespace {

constexpr quint32 kGrant = USBFtdiDevice::kDataInterfaceCapacity;

// readInto of `state.range(0)` bytes at a time from an FT2232H's data interface.
void bufferedReadInto(benchmark::State &state)
{
    VelmorEmulator::UnitOnBus unit;
    unit.chip = VelmorEmulator::Chip::FT2232H;
    unit.serial = "JXbh00102";
    VelmorEmulator::setBench(std::vector<VelmorEmulator::UnitOnBus>{unit});
    const QList<USBDevicePtr> devices = USBFtdiDevice::enumerate(true);
    if (devices.isEmpty() || devices.first()->secondarySockets().isEmpty()) {
        state.SkipWithError("no data interface");
        return;
    }
    const USBISocketPtr channel = devices.first()->secondarySockets().first();
    if (!channel->open(500000).isOk()) {
        state.SkipWithError("the data interface did not open");
        return;
    }
    channel->applyProtocolTimeouts();
    const quint32 chunk = static_cast<quint32>(state.range(0));
    // Whole grants per iteration (every chunk size here divides 16 grants), so that no refill
    // waits for bytes the unit has not produced.
    const quint32 perIteration = 16 * kGrant;
    const std::vector<uint8_t> produced(perIteration, 0x5A);
    std::vector<char> buffer(chunk);
    try {
        for (auto _ : state) {
            state.PauseTiming();
            VelmorEmulator::streamData(0, produced);
            VelmorEmulator::clearCalls();
            state.ResumeTiming();
            for (quint32 done = 0; done < perIteration; done += chunk)
                channel->readInto(buffer.data(), chunk);
            benchmark::DoNotOptimize(buffer.data());
        }
    } catch (const USBResult &failure) {
        state.SkipWithError(failure.message.toStdString().c_str());
    }
    channel->close();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * perIteration);
    state.counters["bytes_per_iteration"] = perIteration;
}

// Replies at once with status 0 and `replyLength` data bytes to every request packet.
QByteArray answerAtOnce(const QByteArray &packet, int replyLength)
{
    QByteArray reply = packet.left(5);
    reply.append(char(0));
    reply.append(char(replyLength & 0xFF));
    reply.append(char(replyLength >> 8));
    reply.append(QByteArray(replyLength, char(0x11)));
    return reply;
}

void executeRoundTrips(benchmark::State &state)
{
    const int replyLength = static_cast<int>(state.range(0));
    auto socket = boost::make_shared<FakeSocket>();
    socket->shared().open = true;
    socket->shared().responder = [replyLength](const QByteArray &packet) { return answerAtOnce(packet, replyLength); };
    USBPacketProtocol protocol;
    protocol.setSocket(socket);
    uint64_t done = 0;
    for (auto _ : state) {
        auto request = boost::make_shared<ScriptedRequest>(0x41, QByteArray(), replyLength);
        if (!protocol.execute(request).isOk()) {
            state.SkipWithError("execute failed");
            break;
        }
        // The fake keeps every write; drop them now and then so memory stays flat.
        if (++done % 1024 == 0)
            socket->shared().writes.clear();
    }
    protocol.setSocket(USBISocketPtr());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

} // namespace

BENCHMARK(bufferedReadInto)->Arg(1)->Arg(64)->Arg(4096)->Arg(kGrant)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(executeRoundTrips)->Arg(0)->Arg(14)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
