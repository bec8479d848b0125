// The settings built for the line, checked as built: a pseudo-terminal reports 8 data bits and
// no parity whatever it was given.

#include <gtest/gtest.h>

#include "serial/LineSetup.h"

namespace tallix {
namespace {

termios Built(int bits, int parity, int stopbits) {
    termios settings{};
    // Start from a cooked line with flow control, as a port can be left by another program.
    settings.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    settings.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | INLCR | IGNCR | BRKINT;
    settings.c_oflag = OPOST | ONLCR;
    settings.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    MakeLineSettings(settings, bits, parity, stopbits);
    return settings;
}

TEST(LineSettings, DataBitsParityAndStopBits) {
    for (int bits : {5, 6, 8, 0}) {
        EXPECT_EQ(Built(bits, 0, 1).c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << bits;
    }
    EXPECT_EQ(Built(7, 0, 1).c_cflag & CSIZE, static_cast<tcflag_t>(CS7));

    EXPECT_EQ(Built(8, 0, 1).c_cflag & (PARENB | PARODD), 0U);
    EXPECT_EQ(Built(8, 1, 1).c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));
    for (int parity : {2, 3, -1}) {
        EXPECT_EQ(Built(8, parity, 1).c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB))
            << parity;
    }

    EXPECT_EQ(Built(8, 0, 0).c_cflag & CSTOPB, 0U);
    EXPECT_EQ(Built(8, 0, 1).c_cflag & CSTOPB, 0U);
    EXPECT_EQ(Built(8, 0, 2).c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
}

TEST(LineSettings, RawTransparentLineWithoutFlowControl) {
    const termios settings = Built(8, 0, 1);
    EXPECT_EQ(settings.c_cflag & CRTSCTS, 0U);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_cflag & HUPCL, static_cast<tcflag_t>(HUPCL)) << "other bits stay";
    EXPECT_EQ(settings.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | INLCR | IGNCR | BRKINT), 0U);
    EXPECT_EQ(settings.c_oflag & OPOST, 0U);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0U);
    EXPECT_EQ(settings.c_cc[VMIN], 1);
    EXPECT_EQ(settings.c_cc[VTIME], 0);
}

}  // namespace
}  // namespace tallix
