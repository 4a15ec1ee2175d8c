#include "BrokerChannel.h"

// Windows has no velmord yet: nothing listens, and every call goes direct.
std::unique_ptr<BrokerChannel> BrokerChannel::connectTo(const std::string &)
{
    return nullptr;
}

std::unique_ptr<BrokerChannel> BrokerChannel::adopt(intptr_t)
{
    return nullptr;
}

bool BrokerChannel::mayListen(const std::string &)
{
    return false;
}

std::string BrokerChannel::defaultPath()
{
    return std::string();
}
