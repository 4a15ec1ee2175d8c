// The device side of a usbredir connection: presents one FT232R to the virtual machine at the
// other end of a stream socket and answers its control and bulk packets from the chip. Bulk IN
// requests wait, in order, until the chip sends (data ready or its latency timer run out).
#ifndef VELMOR_USB_REDIRPEER_H
#define VELMOR_USB_REDIRPEER_H

#include "Ft232rChip.h"

#include <cstdint>
#include <deque>

struct usbredirparser;
struct usb_redir_control_packet_header;
struct usb_redir_bulk_packet_header;
struct usb_redir_set_configuration_header;
struct usb_redir_set_alt_setting_header;
struct usb_redir_get_alt_setting_header;
struct usb_redir_hello_header;

namespace velmor_usb {

class RedirPeer
{
public:
    // `socket` is a connected stream socket; the peer owns it from here on.
    RedirPeer(int socket, Ft232rChip &chip, bool trace);
    ~RedirPeer();
    RedirPeer(const RedirPeer &) = delete;
    RedirPeer &operator=(const RedirPeer &) = delete;

    // Serves the connection until the other end closes it.
    void run();

private:
    struct PendingIn
    {
        uint64_t id;
        uint8_t endpoint;
        uint32_t requested;
    };

    static RedirPeer &of(void *priv);
    static int readSocket(void *priv, uint8_t *data, int count);
    static int writeSocket(void *priv, uint8_t *data, int count);
    static void log(void *priv, int level, const char *message);
    static void hello(void *priv, struct usb_redir_hello_header *header);
    static void reset(void *priv);
    static void setConfiguration(void *priv, uint64_t id, struct usb_redir_set_configuration_header *header);
    static void getConfiguration(void *priv, uint64_t id);
    static void setAltSetting(void *priv, uint64_t id, struct usb_redir_set_alt_setting_header *header);
    static void getAltSetting(void *priv, uint64_t id, struct usb_redir_get_alt_setting_header *header);
    static void cancelDataPacket(void *priv, uint64_t id);
    static void controlPacket(void *priv, uint64_t id, struct usb_redir_control_packet_header *header, uint8_t *data,
                              int length);
    static void bulkPacket(void *priv, uint64_t id, struct usb_redir_bulk_packet_header *header, uint8_t *data, int length);

    void announceDevice();
    void answerPendingIns();
    int pollTimeoutMs() const;
    void sendBulkIn(const PendingIn &pending, const std::vector<uint8_t> &data, uint8_t status);

    int m_socket;
    Ft232rChip &m_chip;
    bool m_trace;
    bool m_closed = false;
    uint8_t m_configuration = 0;
    usbredirparser *m_parser;
    std::deque<PendingIn> m_pendingIns;
};

} // namespace velmor_usb

#endif
