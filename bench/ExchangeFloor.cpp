#include "ExchangeFloor.h"

#include <algorithm>
#include <cmath>

ExchangeFloor::ExchangeFloor(const Line &line)
    : m_line(line)
{
}

std::vector<Exchange> ExchangeFloor::exchangesOf(const std::vector<VelmorEmulator::CallRecord> &calls)
{
    std::vector<Exchange> exchanges;
    Exchange current;
    for (const VelmorEmulator::CallRecord &call : calls) {
        if (call.status != 0 || call.arguments.empty())
            continue;
        if (call.function == "FT_Write") {
            // The library writes a framed request in one write; a raw command awaits no reply.
            if (current.requestBytes > 0 || current.replyBytes > 0)
                exchanges.push_back(current);
            current = Exchange();
            current.start = call.time;
            current.requestBytes = call.arguments.front();
            current.end = call.time;
        } else if (call.function == "FT_Read" && call.arguments.size() >= 2) {
            current.replyBytes += call.arguments.back();
            current.end = call.time;
        }
    }
    if (current.requestBytes > 0 || current.replyBytes > 0)
        exchanges.push_back(current);
    return exchanges;
}

double ExchangeFloor::wireMs(uint64_t bytes) const
{
    return static_cast<double>(bytes) * 11.0 * 1000.0 / m_line.baudRate;
}

double ExchangeFloor::exchangeMs(const Exchange &exchange) const
{
    if (exchange.replyBytes == 0)
        return 0.0;
    const double sent = wireMs(exchange.requestBytes) + m_line.answerMs + m_line.latencyMs;
    const double firstQueued = sent + wireMs(1);
    const double lastQueued = sent + wireMs(exchange.replyBytes);
    const double seen = std::ceil(firstQueued / m_line.pollMs) * m_line.pollMs;
    return std::max(seen, lastQueued);
}

double ExchangeFloor::floorMs(double waitsMs, const std::vector<Exchange> &exchanges) const
{
    double total = waitsMs;
    for (const Exchange &exchange : exchanges)
        total += exchangeMs(exchange);
    return total;
}
