#include "Bootloader.h"

#include "BootloaderCommRequest.h"
#include "BootloaderInfo.h"
#include "USBDriver.h"

#include <boost/make_shared.hpp>

namespace {

USBResult corruptData()
{
    return USBResult(QStringLiteral("Data from device is corrupt"), USBResult::Error);
}

} // namespace

Bootloader::Bootloader(quint8 option)
    : m_option(option)
{
}

USBResult Bootloader::runStartCommand(USBDriver &driver)
{
    return send(driver, boost::make_shared<BootloaderCommRequest>(m_variant, BootloaderCommRequest::StartCommand));
}

USBResult Bootloader::readDeviceInformation(USBDriver &driver, DeviceInformation &information, quint8 *flagBit)
{
    driver.purge();

    const auto infoRequest = boost::make_shared<BootloaderCommRequest>(m_variant, BootloaderCommRequest::InformationCommand);
    USBResult result = send(driver, infoRequest);
    if (!result.isOk())
        return result;
    // The reply comes from the unit: a malformed one, or a page size no page can have, ends
    // the read as corrupt data before the page is asked for.
    BootloaderInfo info;
    if (!BootloaderInfo::decode(infoRequest->replyData(), &info))
        return corruptData();
    if (info.pageSize < kMinimumPageSize || info.pageSize > kMaximumPageSize)
        return corruptData();
    if (flagBit != nullptr)
        *flagBit = info.flagBit;

    result = send(driver, boost::make_shared<BootloaderCommRequest>(m_variant, BootloaderCommRequest::PreparePageCommand));
    if (!result.isOk())
        return result;

    const auto pageRequest =
        boost::make_shared<BootloaderCommRequest>(m_variant, BootloaderCommRequest::ReadPageCommand, info.pageSize);
    result = send(driver, pageRequest);
    if (!result.isOk())
        return result;
    if (!pageRequest->isPageIntact())
        return corruptData();

    information = DeviceInformation::fromPage(pageRequest->replyData());
    if (driver.device())
        driver.device()->deviceVersion = VersionNumber(information.firmwareMajor, information.firmwareMinor);
    return USBResult();
}

USBResult Bootloader::send(USBDriver &driver, const boost::shared_ptr<BootloaderCommRequest> &request)
{
    return driver.sendRequest(request, 0);
}
