// The companion functions about velmord: whether it runs, and the sessions of the program that
// serves other programs' calls.
#include "BrokerClient.h"
#include "LibraryCall.h"
#include "LibraryInterface.h"
#include "LibrarySession.h"
#include "ThreadAnnotations.h"
#include "VelmorLibExtras.h"

#include <algorithm>
#include <cstdio>
#include <string>

struct VelmorSession
{
    LibrarySession session;
};

extern "C" {

VELMOR_API int32_t VELMOR_CALL velmorGetBrokerInfo(VelmorBrokerInfo *info)
{
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        if (info == nullptr || info->size != sizeof(VelmorBrokerInfo))
            return int32_t(VELMOR_ERROR_ARGUMENT);
        VelmorBrokerInfo result{};
        result.size = info->size;
        std::string path;
        const auto clients = BrokerClient::connectedClients(&path);
        std::snprintf(result.socket, sizeof result.socket, "%s", path.c_str());
        if (clients) {
            result.running = 1;
            result.clientCount = static_cast<int32_t>(clients->size());
            const size_t shown = std::min(clients->size(), sizeof result.clients / sizeof result.clients[0]);
            for (size_t at = 0; at < shown; ++at) {
                result.clients[at].uid = (*clients)[at].uid;
                result.clients[at].pid = (*clients)[at].pid;
                std::snprintf(result.clients[at].command, sizeof result.clients[at].command, "%s",
                              (*clients)[at].command.c_str());
            }
        }
        *info = result;
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorOpenSession(VelmorSession **session)
{
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        if (session == nullptr)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        *session = new VelmorSession();
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorCloseSession(VelmorSession *session)
{
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        if (session == nullptr)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        {
            LibrarySession *const outer = LibrarySession::isEntered() ? &LibrarySession::current() : nullptr;
            LibrarySession::enter(&session->session);
            {
                AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
                LibraryInterface::releaseAllUnits();
            }
            LibrarySession::enter(outer);
        }
        delete session;
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorEnterSession(VelmorSession *session)
{
    LibrarySession::enter(session != nullptr ? &session->session : nullptr);
    return VELMOR_OK;
}

} // extern "C"
