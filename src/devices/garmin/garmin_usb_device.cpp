#include "devices/garmin/garmin_usb_device.h"

#include <libusb.h>

#include "base/text.h"

namespace logwell::garmin {
namespace {

int Timeout(std::chrono::milliseconds wait) { return static_cast<int>(std::max<long long>(1, wait.count())); }

class LibusbPipes : public UsbPipes {
 public:
  LibusbPipes(libusb_context* context, libusb_device_handle* handle, int interface, std::uint8_t bulkIn,
              std::uint8_t bulkOut, std::uint8_t interruptIn)
      : context_(context), handle_(handle), interface_(interface), bulkIn_(bulkIn), bulkOut_(bulkOut),
        interruptIn_(interruptIn) {}
  ~LibusbPipes() override {
    libusb_release_interface(handle_, interface_);
    libusb_close(handle_);
    libusb_exit(context_);
  }
  LibusbPipes(const LibusbPipes&) = delete;
  LibusbPipes& operator=(const LibusbPipes&) = delete;

  bool WriteBulk(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) override {
    int written = 0;
    // libusb takes a non-const buffer for both directions; an OUT transfer does not change it.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    const int status = libusb_bulk_transfer(handle_, bulkOut_, copy.data(), static_cast<int>(copy.size()), &written,
                                            Timeout(timeout));
    return status == 0 && written == static_cast<int>(bytes.size());
  }
  int ReadBulk(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
    return Read(libusb_bulk_transfer, bulkIn_, buffer, timeout);
  }
  int ReadInterrupt(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
    return Read(libusb_interrupt_transfer, interruptIn_, buffer, timeout);
  }
  std::optional<std::uint32_t> ApiVersion() override {
    const libusb_version* version = libusb_get_version();
    return version->major * 10000u + version->minor * 100u + version->micro;
  }

 private:
  using Transfer = int (*)(libusb_device_handle*, unsigned char, unsigned char*, int, int*, unsigned int);
  int Read(Transfer transfer, std::uint8_t endpoint, std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) {
    int got = 0;
    const int status = transfer(handle_, endpoint, buffer.data(), static_cast<int>(buffer.size()), &got,
                                static_cast<unsigned>(Timeout(timeout)));
    if (status == 0 || (status == LIBUSB_ERROR_TIMEOUT && got > 0)) return got;
    if (status == LIBUSB_ERROR_TIMEOUT) return 0;
    return kPipeFailed;
  }

  libusb_context* context_;
  libusb_device_handle* handle_;
  int interface_;
  std::uint8_t bulkIn_, bulkOut_, interruptIn_;
};

std::string PermissionMessage() {
  return FormatText(
      "No permission to use the Garmin USB device. Install the udev rule %s as "
      "/etc/udev/rules.d/51-logwell-garmin.rules, then reconnect the receiver",
      kUdevRuleFile);
}

}  // namespace

UsbOpenResult OpenGarminUsbDevice() {
  UsbOpenResult result;
  libusb_context* context = nullptr;
  if (libusb_init(&context) != 0) {
    result.failure = UsbOpenFailure::Other;
    result.message = "USB library initialisation error";
    return result;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) == 0 && descriptor.idVendor == kUsbVendor &&
        descriptor.idProduct == kUsbProduct) {
      found = libusb_ref_device(list[i]);
      break;
    }
  }
  if (list != nullptr) libusb_free_device_list(list, 1);
  if (found == nullptr) {
    libusb_exit(context);
    result.failure = UsbOpenFailure::NotFound;
    return result;
  }
  libusb_device_handle* handle = nullptr;
  const int opened = libusb_open(found, &handle);
  // The endpoints of the first interface: bulk IN, bulk OUT and interrupt IN.
  std::uint8_t bulkIn = 0, bulkOut = 0, interruptIn = 0;
  libusb_config_descriptor* config = nullptr;
  if (opened == 0 && libusb_get_active_config_descriptor(found, &config) == 0) {
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
      const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
      for (int e = 0; e < alt.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = alt.endpoint[e];
        const bool in = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
        const int kind = endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
        if (kind == LIBUSB_TRANSFER_TYPE_BULK && in) bulkIn = endpoint.bEndpointAddress;
        if (kind == LIBUSB_TRANSFER_TYPE_BULK && !in) bulkOut = endpoint.bEndpointAddress;
        if (kind == LIBUSB_TRANSFER_TYPE_INTERRUPT && in) interruptIn = endpoint.bEndpointAddress;
      }
    }
    libusb_free_config_descriptor(config);
  }
  libusb_unref_device(found);
  if (opened != 0) {
    libusb_exit(context);
    result.failure = opened == LIBUSB_ERROR_ACCESS ? UsbOpenFailure::NoPermission : UsbOpenFailure::Other;
    result.message = opened == LIBUSB_ERROR_ACCESS ? PermissionMessage()
                                                   : FormatText("USB open error (%s)", libusb_error_name(opened));
    return result;
  }
  // The garmin_gps module binds itself to the receiver; it is detached while we use it.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  const int claimed = libusb_claim_interface(handle, 0);
  if (claimed != 0 || bulkIn == 0 || bulkOut == 0 || interruptIn == 0) {
    libusb_close(handle);
    libusb_exit(context);
    result.failure = claimed == LIBUSB_ERROR_ACCESS ? UsbOpenFailure::NoPermission : UsbOpenFailure::Other;
    result.message = claimed == LIBUSB_ERROR_ACCESS ? PermissionMessage()
                     : claimed != 0 ? FormatText("USB interface claim error (%s)", libusb_error_name(claimed))
                                    : std::string("USB device without the Garmin pipes");
    return result;
  }
  result.pipes = std::make_unique<LibusbPipes>(context, handle, 0, bulkIn, bulkOut, interruptIn);
  return result;
}

}  // namespace logwell::garmin
