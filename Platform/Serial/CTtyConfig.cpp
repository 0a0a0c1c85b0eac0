#include "CTtyConfig.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace {

// The rates that have a B-constant are set through it, so drivers without
// arbitrary-rate support still take them.
speed_t StandardRate(unsigned baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
    }
}

int Apply(int fd, const termios2& settings)
{
    return ioctl(fd, TCSETS2, &settings) == 0 ? 0 : errno;
}

} // namespace

int CTtyConfig::MakeRaw(int fd, unsigned baud)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;

    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    if (baud == 0)
        return Apply(fd, t);

    // Input follows output when the separate input rate bits are clear.
    const speed_t standard = StandardRate(baud);
    t.c_cflag &= ~(CBAUD | CIBAUD);
    t.c_cflag |= standard ? standard : BOTHER;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    const int result = Apply(fd, t);
    if (result == 0 || standard)
        return result;

    // A driver that cannot divide down to the odd rate gets the nearest
    // standard one; 57600 is 0.7 % off 57200, well inside what a UART
    // tolerates.
    if (baud > 56000 && baud < 58000) {
        t.c_cflag &= ~(CBAUD | CIBAUD);
        t.c_cflag |= B57600;
        t.c_ispeed = t.c_ospeed = 57600;
        return Apply(fd, t);
    }
    return result;
}

unsigned CTtyConfig::Speed(int fd)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return t.c_ispeed;
}

void CTtyConfig::Flush(int fd, Queue queue)
{
    const int which = queue == InputQueue ? TCIFLUSH : queue == OutputQueue ? TCOFLUSH : TCIOFLUSH;
    (void)ioctl(fd, TCFLSH, which);
}

void CTtyConfig::SetModemLines(int fd, bool dtr, bool rts, bool on)
{
    int bits = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    if (bits)
        (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
}

void CTtyConfig::SetExclusive(int fd, bool on)
{
    (void)ioctl(fd, on ? TIOCEXCL : TIOCNXCL);
}
