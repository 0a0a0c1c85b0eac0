#pragma once

// Terminal settings of an open serial device. Kept apart from everything
// else because the kernel's termios2 structure (the only way to ask for a
// rate such as 57200 baud that has no B-constant) cannot be declared in the
// same translation unit as the C library's <termios.h>.
class CTtyConfig
{
public:
    enum Queue { InputQueue = 1, OutputQueue = 2, BothQueues = 3 };

    // Raw 8N1, receiver on, no flow control, no line processing; reads
    // return at once (time-outs are the caller's). baud 0 keeps the rate
    // the driver reports. Returns 0, or the errno of the refusal.
    static int MakeRaw(int fd, unsigned baud);
    // The input rate the driver reports; 0 when it cannot be read.
    static unsigned Speed(int fd);
    // Discards what is waiting in the given queues.
    static void Flush(int fd, Queue queue);
    // Raises or lowers DTR and RTS. Pseudo-terminals and some adapters
    // have no modem lines; that is not an error for the caller.
    static void SetModemLines(int fd, bool dtr, bool rts, bool on);
    // Exclusive-use mode of the tty (other openers get EBUSY).
    static void SetExclusive(int fd, bool on);
};
