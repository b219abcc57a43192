// Built without the virtual-USB device: the USB endpoint is not offered.
#include <stdexcept>

#include "transport.h"

namespace vsim {

struct UsbEndpoint {};

bool usbSupported() { return false; }

UsbHandle startUsbEndpoint(const Link &, Instrument &, const std::string &)
{
    throw std::runtime_error("built without the virtual-USB device");
}

void setUsbPlugged(UsbEndpoint &, bool) {}
void stopUsbEndpoint(UsbEndpoint &) {}
void UsbDeleter::operator()(UsbEndpoint *ep) const { delete ep; }

}  // namespace vsim
