#include "RedirPeer.h"

#include "Descriptors.h"

#include <usbredirparser.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmor_usb {

namespace {

using Clock = velmor_firmware::Clock;

// Endpoint slots in the usbredir endpoint tables: IN endpoints from 16 on.
int slotOf(uint8_t endpoint)
{
    return ((endpoint & 0x80) >> 3) | (endpoint & 0x0F);
}

uint32_t bulkLength(const usb_redir_bulk_packet_header &header)
{
    return header.length | (uint32_t(header.length_high) << 16);
}

} // namespace

RedirPeer::RedirPeer(int socket, Ft232rChip &chip, bool trace)
    : m_socket(socket)
    , m_chip(chip)
    , m_trace(trace)
    , m_parser(usbredirparser_create())
{
    m_parser->priv = this;
    m_parser->log_func = log;
    m_parser->read_func = readSocket;
    m_parser->write_func = writeSocket;
    m_parser->hello_func = hello;
    m_parser->reset_func = reset;
    m_parser->set_configuration_func = setConfiguration;
    m_parser->get_configuration_func = getConfiguration;
    m_parser->set_alt_setting_func = setAltSetting;
    m_parser->get_alt_setting_func = getAltSetting;
    m_parser->cancel_data_packet_func = cancelDataPacket;
    m_parser->control_packet_func = controlPacket;
    m_parser->bulk_packet_func = bulkPacket;

    uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
    for (int cap : {usb_redir_cap_connect_device_version, usb_redir_cap_ep_info_max_packet_size,
                    usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length})
        usbredirparser_caps_set_cap(caps, cap);
    usbredirparser_init(m_parser, "velmor-usb-peer", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);
    // The parser reads until the socket has nothing more; it must not block there.
    ::fcntl(m_socket, F_SETFL, ::fcntl(m_socket, F_GETFL) | O_NONBLOCK);
}

RedirPeer::~RedirPeer()
{
    usbredirparser_destroy(m_parser);
    ::close(m_socket);
}

void RedirPeer::run()
{
    while (!m_closed) {
        pollfd descriptor{m_socket, POLLIN, 0};
        if (usbredirparser_has_data_to_write(m_parser))
            descriptor.events |= POLLOUT;
        const int ready = ::poll(&descriptor, 1, pollTimeoutMs());
        if (ready < 0 && errno != EINTR)
            break;
        if (descriptor.revents & (POLLIN | POLLHUP | POLLERR)) {
            const int readResult = usbredirparser_do_read(m_parser);
            if (readResult != 0) {
                if (m_trace || !m_closed)
                    std::fprintf(stderr, "usbredir: read ends with %d\n", readResult);
                break;
            }
        }
        answerPendingIns();
        if (usbredirparser_has_data_to_write(m_parser) && usbredirparser_do_write(m_parser) != 0)
            break;
    }
}

int RedirPeer::pollTimeoutMs() const
{
    if (m_pendingIns.empty())
        return 1000;
    const auto now = Clock::now();
    const auto wait = m_chip.nextInTime(now) - now;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

void RedirPeer::answerPendingIns()
{
    while (!m_pendingIns.empty()) {
        const PendingIn pending = m_pendingIns.front();
        if (pending.endpoint != Descriptors::kInEndpoint) {
            sendBulkIn(pending, {}, usb_redir_stall);
            m_pendingIns.pop_front();
            continue;
        }
        const std::optional<std::vector<uint8_t>> transfer = m_chip.answerIn(pending.requested, Clock::now());
        if (!transfer)
            return;
        m_pendingIns.pop_front();
        sendBulkIn(pending, *transfer, usb_redir_success);
    }
}

void RedirPeer::sendBulkIn(const PendingIn &pending, const std::vector<uint8_t> &data, uint8_t status)
{
    usb_redir_bulk_packet_header header{};
    header.endpoint = pending.endpoint;
    header.status = status;
    header.length = static_cast<uint16_t>(data.size() & 0xFFFF);
    header.length_high = static_cast<uint16_t>(data.size() >> 16);
    if (m_trace && data.size() > InPacketFramer::kStatusSize)
        std::fprintf(stderr, "bulk in %zu bytes\n", data.size() - InPacketFramer::kStatusSize);
    usbredirparser_send_bulk_packet(m_parser, pending.id, &header, const_cast<uint8_t *>(data.data()),
                                    static_cast<int>(data.size()));
}

void RedirPeer::announceDevice()
{
    usb_redir_interface_info_header interfaces{};
    interfaces.interface_count = 1;
    interfaces.interface_class[0] = 0xFF;
    interfaces.interface_subclass[0] = 0xFF;
    interfaces.interface_protocol[0] = 0xFF;
    usbredirparser_send_interface_info(m_parser, &interfaces);

    usb_redir_ep_info_header endpoints{};
    std::fill(std::begin(endpoints.type), std::end(endpoints.type), uint8_t(usb_redir_type_invalid));
    endpoints.type[slotOf(0x00)] = usb_redir_type_control;
    endpoints.type[slotOf(0x80)] = usb_redir_type_control;
    endpoints.max_packet_size[slotOf(0x00)] = 8;
    endpoints.max_packet_size[slotOf(0x80)] = 8;
    for (uint8_t endpoint : {Descriptors::kInEndpoint, Descriptors::kOutEndpoint}) {
        endpoints.type[slotOf(endpoint)] = usb_redir_type_bulk;
        endpoints.max_packet_size[slotOf(endpoint)] = Descriptors::kMaxPacketSize;
    }
    usbredirparser_send_ep_info(m_parser, &endpoints);

    const Eeprom &eeprom = m_chip.eeprom();
    usb_redir_device_connect_header device{};
    device.speed = usb_redir_speed_full;
    device.vendor_id = eeprom.vendorId();
    device.product_id = eeprom.productId();
    device.device_version_bcd = eeprom.deviceRelease();
    usbredirparser_send_device_connect(m_parser, &device);
}

RedirPeer &RedirPeer::of(void *priv)
{
    return *static_cast<RedirPeer *>(priv);
}

int RedirPeer::readSocket(void *priv, uint8_t *data, int count)
{
    RedirPeer &peer = of(priv);
    const ssize_t got = ::read(peer.m_socket, data, static_cast<size_t>(count));
    if (got > 0)
        return static_cast<int>(got);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    peer.m_closed = true;       // the machine went away
    return -1;
}

int RedirPeer::writeSocket(void *priv, uint8_t *data, int count)
{
    RedirPeer &peer = of(priv);
    const ssize_t written = ::write(peer.m_socket, data, static_cast<size_t>(count));
    if (written >= 0)
        return static_cast<int>(written);
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    peer.m_closed = true;
    return -1;
}

void RedirPeer::log(void *priv, int level, const char *message)
{
    if (of(priv).m_trace || level <= usbredirparser_error)
        std::fprintf(stderr, "usbredir: %s\n", message);
}

void RedirPeer::hello(void *priv, usb_redir_hello_header *)
{
    of(priv).announceDevice();
}

void RedirPeer::reset(void *priv)
{
    of(priv).m_configuration = 0;
}

void RedirPeer::setConfiguration(void *priv, uint64_t id, usb_redir_set_configuration_header *header)
{
    RedirPeer &peer = of(priv);
    usb_redir_configuration_status_header status{};
    status.status = header->configuration <= 1 ? usb_redir_success : usb_redir_stall;
    if (header->configuration <= 1)
        peer.m_configuration = header->configuration;
    status.configuration = peer.m_configuration;
    usbredirparser_send_configuration_status(peer.m_parser, id, &status);
}

void RedirPeer::getConfiguration(void *priv, uint64_t id)
{
    RedirPeer &peer = of(priv);
    usb_redir_configuration_status_header status{};
    status.status = usb_redir_success;
    status.configuration = peer.m_configuration;
    usbredirparser_send_configuration_status(peer.m_parser, id, &status);
}

void RedirPeer::setAltSetting(void *priv, uint64_t id, usb_redir_set_alt_setting_header *header)
{
    usb_redir_alt_setting_status_header status{};
    status.status = header->interface == 0 && header->alt == 0 ? usb_redir_success : usb_redir_stall;
    status.interface = header->interface;
    status.alt = 0;
    usbredirparser_send_alt_setting_status(of(priv).m_parser, id, &status);
}

void RedirPeer::getAltSetting(void *priv, uint64_t id, usb_redir_get_alt_setting_header *header)
{
    usb_redir_alt_setting_status_header status{};
    status.status = header->interface == 0 ? usb_redir_success : usb_redir_stall;
    status.interface = header->interface;
    status.alt = 0;
    usbredirparser_send_alt_setting_status(of(priv).m_parser, id, &status);
}

void RedirPeer::cancelDataPacket(void *priv, uint64_t id)
{
    RedirPeer &peer = of(priv);
    const auto found = std::find_if(peer.m_pendingIns.begin(), peer.m_pendingIns.end(),
                                    [id](const PendingIn &pending) { return pending.id == id; });
    if (found == peer.m_pendingIns.end())
        return;
    const PendingIn cancelled = *found;
    peer.m_pendingIns.erase(found);
    peer.sendBulkIn(cancelled, {}, usb_redir_cancelled);
}

void RedirPeer::controlPacket(void *priv, uint64_t id, usb_redir_control_packet_header *header, uint8_t *data, int length)
{
    RedirPeer &peer = of(priv);
    ControlRequest request;
    request.requestType = header->requesttype;
    request.request = header->request;
    request.value = header->value;
    request.index = header->index;
    request.length = header->length;
    if (data != nullptr)
        request.data.assign(data, data + length);
    usbredirparser_free_packet_data(peer.m_parser, data);

    const ControlAnswer answer = peer.m_chip.control(request);
    if (peer.m_trace)
        std::fprintf(stderr, "control %02x %02x value %04x index %04x length %u -> %s %zu\n", request.requestType,
                     request.request, request.value, request.index, request.length, answer.stalled ? "stall" : "ok",
                     answer.data.size());
    usb_redir_control_packet_header reply = *header;
    reply.status = answer.stalled ? usb_redir_stall : usb_redir_success;
    const bool in = (header->endpoint & 0x80) != 0;
    reply.length = in ? static_cast<uint16_t>(answer.data.size()) : header->length;
    usbredirparser_send_control_packet(peer.m_parser, id, &reply, in ? const_cast<uint8_t *>(answer.data.data()) : nullptr,
                                       in ? static_cast<int>(answer.data.size()) : 0);
}

void RedirPeer::bulkPacket(void *priv, uint64_t id, usb_redir_bulk_packet_header *header, uint8_t *data, int length)
{
    RedirPeer &peer = of(priv);
    if ((header->endpoint & 0x80) != 0) {
        usbredirparser_free_packet_data(peer.m_parser, data);
        peer.m_pendingIns.push_back(PendingIn{id, header->endpoint, bulkLength(*header)});
        return;
    }
    usb_redir_bulk_packet_header reply = *header;
    reply.status = header->endpoint == Descriptors::kOutEndpoint ? usb_redir_success : usb_redir_stall;
    if (header->endpoint == Descriptors::kOutEndpoint && data != nullptr) {
        if (peer.m_trace)
            std::fprintf(stderr, "bulk out %d bytes\n", length);
        peer.m_chip.receiveOut(data, static_cast<size_t>(length), Clock::now());
    }
    usbredirparser_free_packet_data(peer.m_parser, data);
    usbredirparser_send_bulk_packet(peer.m_parser, id, &reply, nullptr, 0);
}

} // namespace velmor_usb
