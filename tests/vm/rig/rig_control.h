/* SPDX-License-Identifier: GPL-2.0 */
/*
 * The control side of the test rig's tty, shared by the module and the guest
 * programs that drive it.
 *
 * The port under test is an ordinary serial tty. The control device sets its
 * input lines, feeds it received characters, reads what it sent and hangs it
 * up:
 *   write  pairs of (flag, byte), each byte received with that flag
 *   read   the bytes the port has sent since the last read
 */
#ifndef QUILLMARK_RIG_CONTROL_H
#define QUILLMARK_RIG_CONTROL_H

#include <linux/ioctl.h>
#include <linux/types.h>

#define RIG_PORT_PATH "/dev/ttyRIG0"
#define RIG_CONTROL_PATH "/dev/quillmark-rig"

/* How a received byte arrived; line errors count in the port's icount. */
enum rig_receive_flag {
	RIG_RX_NORMAL,
	RIG_RX_BREAK,
	RIG_RX_FRAME,
	RIG_RX_PARITY,
	RIG_RX_OVERRUN,
};

/* Flips the given input lines and back, count times, with nothing between. */
struct rig_pulse {
	__u32 lines;
	__u32 count;
};

struct rig_outputs {
	__u32 lines;	/* TIOCM_DTR and TIOCM_RTS as the port drives them */
	__u32 breaks;	/* breaks the port has started sending */
};

#define RIG_IOC_MAGIC 'Q'
/* The port's input lines (TIOCM_CTS, TIOCM_DSR, TIOCM_CAR, TIOCM_RNG) */
#define RIG_SET_INPUTS _IOW(RIG_IOC_MAGIC, 1, __u32)
#define RIG_PULSE_INPUTS _IOW(RIG_IOC_MAGIC, 2, struct rig_pulse)
#define RIG_GET_OUTPUTS _IOR(RIG_IOC_MAGIC, 3, struct rig_outputs)
#define RIG_HANG_UP _IO(RIG_IOC_MAGIC, 4)

#endif /* QUILLMARK_RIG_CONTROL_H */
