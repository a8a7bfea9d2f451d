// The one place that talks termios2 to the kernel: <asm/termbits.h> redefines the names of
// <termios.h>, so nothing else may be included beside it that pulls that header in.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace logwell::serial_detail {

int SetCustomBaudRate(int fd, int baudRate) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return errno;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = static_cast<speed_t>(baudRate);
  settings.c_ospeed = static_cast<speed_t>(baudRate);
  if (ioctl(fd, TCSETS2, &settings) != 0) return errno;
  return 0;
}

int ReadBackBaudRate(int fd) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return -1;
  return static_cast<int>(settings.c_ospeed);
}

}  // namespace logwell::serial_detail
