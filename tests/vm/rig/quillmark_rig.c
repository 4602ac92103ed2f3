// SPDX-License-Identifier: GPL-2.0
/*
 * Test rig for the Quillmark guest: one serial tty (ttyRIG0) with modem lines,
 * error counters and hang-up, and a control device from which the test plays
 * the far end of the line (see rig_control.h). Built against the test guest's
 * kernel and loaded there only.
 *
 * The port behaves like a UART whose modem-status interrupt fires on every
 * counted edge: CTS, DSR and DCD count both edges, RI its trailing edge only,
 * as a 16550 does. Received bytes go through the tty layer's flip buffers, so
 * the line discipline marks breaks and bad bytes itself.
 *
 * The "profile" parameter makes it follow another driver's rules:
 *   16550        modem-status reports stop after a termios with CLOCAL and no
 *                CRTSCTS, until the next TIOCMIWAIT (the default)
 *   nowait       no TIOCMIWAIT, line counters that never move (cp210x)
 *   nocounters   no TIOCGICOUNT (pl2303, ch341)
 *   acm          CTS always reads on and is neither counted nor waited for;
 *                no TIOCGICOUNT; the device's driver is named cdc_acm
 *   sampled      the line status is published every sample_ms (FTDI's packets):
 *                edges are counted and wake waits only as the difference between
 *                two publications, so changes between them merge; TIOCMGET reads
 *                the lines as they are; the device's driver is named ftdi_sio
 */
#include <linux/kfifo.h>
#include <linux/miscdevice.h>
#include <linux/module.h>
#include <linux/platform_device.h>
#include <linux/serial.h>
#include <linux/spinlock.h>
#include <linux/tty.h>
#include <linux/tty_driver.h>
#include <linux/timer.h>
#include <linux/tty_flip.h>
#include <linux/uaccess.h>
#include <linux/wait.h>

#include "rig_control.h"

#define RIG_INPUTS (TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG)
#define RIG_OUTPUTS (TIOCM_DTR | TIOCM_RTS)
#define RIG_SENT_SIZE 4096
#define RIG_CHUNK 256

enum rig_profile { RIG_16550, RIG_NOWAIT, RIG_NOCOUNTERS, RIG_ACM, RIG_SAMPLED };
static const char *const rig_profiles[] = { "16550", "nowait", "nocounters", "acm", "sampled" };
/* The driver sysfs names for the hardware of a profile that stands for another driver. */
static const char *const rig_driver_names[] = { [RIG_ACM] = "cdc_acm", [RIG_SAMPLED] = "ftdi_sio" };
static char *profile = "16550";
module_param(profile, charp, 0444);
static unsigned int sample_ms = 16; /* an FTDI adapter's default latency timer */
module_param(sample_ms, uint, 0444);
static enum rig_profile rig_profile;

struct rig {
	struct tty_port port;
	spinlock_t lock;		/* guards the fields below */
	unsigned int lines;		/* TIOCM_* levels, inputs and outputs */
	unsigned int published;		/* sampled: the inputs as last published */
	bool breaking;
	bool reporting;			/* 16550: modem-status interrupts on */
	unsigned int breaks;
	struct serial_icounter_struct icount;
	DECLARE_KFIFO(sent, u8, RIG_SENT_SIZE);
	struct timer_list publisher;	/* sampled */
};

static struct rig rig;
static struct tty_driver *rig_driver;
/* The hardware the tty stands for, so that sysfs shows a device behind it as for a UART. */
static struct platform_device *rig_hardware;

/* Returns true when an edge was counted, which is what raises an interrupt. */
static bool rig_count_changes(unsigned int before, unsigned int after)
{
	unsigned int changed = before ^ after;
	bool counted = false;

	if (rig_profile == RIG_ACM)
		changed &= ~TIOCM_CTS;

	if (changed & TIOCM_CTS) {
		rig.icount.cts++;
		counted = true;
	}
	if (changed & TIOCM_DSR) {
		rig.icount.dsr++;
		counted = true;
	}
	if (changed & TIOCM_CAR) {
		rig.icount.dcd++;
		counted = true;
	}
	if ((changed & TIOCM_RNG) && !(after & TIOCM_RNG)) {
		rig.icount.rng++;
		counted = true;
	}
	return counted;
}

static bool rig_count_edges(unsigned int before, unsigned int after)
{
	if (rig_profile == RIG_16550 && !rig.reporting)
		return false;
	if (rig_profile == RIG_NOWAIT || rig_profile == RIG_SAMPLED)
		return false;
	return rig_count_changes(before, after);
}

static void rig_publish(struct timer_list *timer)
{
	unsigned long flags;
	bool counted;

	spin_lock_irqsave(&rig.lock, flags);
	counted = rig_count_changes(rig.published, rig.lines & RIG_INPUTS);
	rig.published = rig.lines & RIG_INPUTS;
	spin_unlock_irqrestore(&rig.lock, flags);
	if (counted)
		wake_up_interruptible(&rig.port.delta_msr_wait);
	mod_timer(&rig.publisher, jiffies + msecs_to_jiffies(sample_ms));
}

/* Under rig.lock. */
static bool rig_move_inputs(unsigned int levels)
{
	unsigned int before = rig.lines;

	rig.lines = (before & ~RIG_INPUTS) | (levels & RIG_INPUTS);
	return rig_count_edges(before, rig.lines);
}

static void rig_set_inputs(unsigned int levels)
{
	unsigned long flags;
	bool counted;

	spin_lock_irqsave(&rig.lock, flags);
	counted = rig_move_inputs(levels);
	spin_unlock_irqrestore(&rig.lock, flags);
	if (counted)
		wake_up_interruptible(&rig.port.delta_msr_wait);
}

static void rig_pulse_inputs(const struct rig_pulse *pulse)
{
	unsigned long flags;
	bool counted = false;
	u32 i;

	spin_lock_irqsave(&rig.lock, flags);
	for (i = 0; i < pulse->count; i++) {
		counted |= rig_move_inputs(rig.lines ^ pulse->lines);
		counted |= rig_move_inputs(rig.lines ^ pulse->lines);
	}
	spin_unlock_irqrestore(&rig.lock, flags);
	if (counted)
		wake_up_interruptible(&rig.port.delta_msr_wait);
}

static int rig_receive(u8 flag, u8 byte)
{
	static const char tty_flag[] = {
		[RIG_RX_NORMAL] = TTY_NORMAL,
		[RIG_RX_BREAK] = TTY_BREAK,
		[RIG_RX_FRAME] = TTY_FRAME,
		[RIG_RX_PARITY] = TTY_PARITY,
		[RIG_RX_OVERRUN] = TTY_OVERRUN,
	};
	unsigned long flags;

	if (flag >= ARRAY_SIZE(tty_flag))
		return -EINVAL;
	spin_lock_irqsave(&rig.lock, flags);
	switch (flag) {
	case RIG_RX_BREAK:
		rig.icount.brk++;
		break;
	case RIG_RX_FRAME:
		rig.icount.frame++;
		break;
	case RIG_RX_PARITY:
		rig.icount.parity++;
		break;
	case RIG_RX_OVERRUN:
		rig.icount.overrun++;
		break;
	}
	if (!tty_insert_flip_char(&rig.port, byte, tty_flag[flag]))
		rig.icount.buf_overrun++;
	spin_unlock_irqrestore(&rig.lock, flags);
	return 0;
}

/* ---- the port under test ---------------------------------------------- */

static void rig_set_termios(struct tty_struct *tty, const struct ktermios *old);

static int rig_install(struct tty_driver *driver, struct tty_struct *tty)
{
	return tty_port_install(&rig.port, driver, tty);
}

static int rig_open(struct tty_struct *tty, struct file *filp)
{
	rig_set_termios(tty, NULL);
	return tty_port_open(&rig.port, tty, filp);
}

static void rig_close(struct tty_struct *tty, struct file *filp)
{
	tty_port_close(&rig.port, tty, filp);
}

static void rig_hangup(struct tty_struct *tty)
{
	tty_port_hangup(&rig.port);
}

/* The line takes everything at once; the record keeps what fits. */
static int rig_write(struct tty_struct *tty, const u8 *buf, int count)
{
	unsigned long flags;

	spin_lock_irqsave(&rig.lock, flags);
	kfifo_in(&rig.sent, buf, count);
	spin_unlock_irqrestore(&rig.lock, flags);
	return count;
}

static unsigned int rig_write_room(struct tty_struct *tty)
{
	return RIG_SENT_SIZE;
}

static int rig_tiocmget(struct tty_struct *tty)
{
	return READ_ONCE(rig.lines) | (rig_profile == RIG_ACM ? TIOCM_CTS : 0);
}

static int rig_tiocmset(struct tty_struct *tty, unsigned int set,
			unsigned int clear)
{
	unsigned long flags;

	spin_lock_irqsave(&rig.lock, flags);
	rig.lines = (rig.lines & ~(clear & RIG_OUTPUTS)) | (set & RIG_OUTPUTS);
	spin_unlock_irqrestore(&rig.lock, flags);
	return 0;
}

static int rig_get_icount(struct tty_struct *tty,
			  struct serial_icounter_struct *icount)
{
	unsigned long flags;

	if (tty && (rig_profile == RIG_NOCOUNTERS || rig_profile == RIG_ACM))
		return -EINVAL;
	spin_lock_irqsave(&rig.lock, flags);
	*icount = rig.icount;
	spin_unlock_irqrestore(&rig.lock, flags);
	return 0;
}

static bool rig_lines_moved(struct tty_struct *tty, unsigned long mask,
			    const struct serial_icounter_struct *before)
{
	struct serial_icounter_struct now;

	if (tty_io_error(tty))
		return true;
	rig_get_icount(NULL, &now);
	return ((mask & TIOCM_CTS) && now.cts != before->cts) ||
	       ((mask & TIOCM_DSR) && now.dsr != before->dsr) ||
	       ((mask & TIOCM_CD) && now.dcd != before->dcd) ||
	       ((mask & TIOCM_RNG) && now.rng != before->rng);
}

/* A hang-up ends the wait as an unplugged adapter does, with EIO. */
static int rig_wait_modem_status(struct tty_struct *tty, unsigned long mask)
{
	struct serial_icounter_struct before;
	int ret;

	rig_get_icount(NULL, &before);
	WRITE_ONCE(rig.reporting, true);
	ret = wait_event_interruptible(rig.port.delta_msr_wait,
				       rig_lines_moved(tty, mask, &before));
	if (ret)
		return ret;
	return tty_io_error(tty) ? -EIO : 0;
}

static int rig_ioctl(struct tty_struct *tty, unsigned int cmd,
		     unsigned long arg)
{
	if (cmd == TIOCMIWAIT && rig_profile != RIG_NOWAIT)
		return rig_wait_modem_status(tty, arg);
	return -ENOIOCTLCMD;
}

static int rig_break_ctl(struct tty_struct *tty, int state)
{
	unsigned long flags;

	spin_lock_irqsave(&rig.lock, flags);
	if (state && !rig.breaking)
		rig.breaks++;
	rig.breaking = state != 0;
	spin_unlock_irqrestore(&rig.lock, flags);
	return 0;
}

/* As serial_core does: interrupts stay on only with flow control or without CLOCAL. */
static void rig_set_termios(struct tty_struct *tty, const struct ktermios *old)
{
	WRITE_ONCE(rig.reporting, !C_CLOCAL(tty) || C_CRTSCTS(tty));
}

static const struct tty_operations rig_tty_ops = {
	.install = rig_install,
	.open = rig_open,
	.close = rig_close,
	.hangup = rig_hangup,
	.write = rig_write,
	.write_room = rig_write_room,
	.tiocmget = rig_tiocmget,
	.tiocmset = rig_tiocmset,
	.get_icount = rig_get_icount,
	.ioctl = rig_ioctl,
	.break_ctl = rig_break_ctl,
	.set_termios = rig_set_termios,
};

static int rig_carrier_raised(struct tty_port *port)
{
	return !!(READ_ONCE(rig.lines) & TIOCM_CAR);
}

static void rig_dtr_rts(struct tty_port *port, int raise)
{
	rig_tiocmset(NULL, raise ? RIG_OUTPUTS : 0, raise ? 0 : RIG_OUTPUTS);
}

static const struct tty_port_operations rig_port_ops = {
	.carrier_raised = rig_carrier_raised,
	.dtr_rts = rig_dtr_rts,
};

/* ---- the control side ------------------------------------------------- */

static ssize_t rig_control_read(struct file *file, char __user *buf,
				size_t len, loff_t *ppos)
{
	u8 chunk[RIG_CHUNK];
	unsigned long flags;
	size_t done = 0;

	while (done < len) {
		unsigned int n;

		spin_lock_irqsave(&rig.lock, flags);
		n = kfifo_out(&rig.sent, chunk,
			      min_t(size_t, len - done, sizeof(chunk)));
		spin_unlock_irqrestore(&rig.lock, flags);
		if (!n)
			break;
		if (copy_to_user(buf + done, chunk, n))
			return -EFAULT;
		done += n;
	}
	return done;
}

static ssize_t rig_control_write(struct file *file, const char __user *buf,
				 size_t len, loff_t *ppos)
{
	u8 chunk[RIG_CHUNK];
	size_t done, i, n;
	int ret = 0;

	if (len % 2)
		return -EINVAL;
	for (done = 0; done < len && !ret; done += n) {
		n = min_t(size_t, len - done, sizeof(chunk));
		if (copy_from_user(chunk, buf + done, n)) {
			ret = -EFAULT;
			break;
		}
		for (i = 0; i < n && !ret; i += 2)
			ret = rig_receive(chunk[i], chunk[i + 1]);
	}
	tty_flip_buffer_push(&rig.port);
	return ret ? ret : len;
}

static long rig_control_ioctl(struct file *file, unsigned int cmd,
			      unsigned long arg)
{
	void __user *argp = (void __user *)arg;
	struct rig_outputs outputs;
	struct rig_pulse pulse;
	unsigned long flags;
	u32 levels;

	switch (cmd) {
	case RIG_SET_INPUTS:
		if (get_user(levels, (u32 __user *)argp))
			return -EFAULT;
		rig_set_inputs(levels);
		return 0;
	case RIG_PULSE_INPUTS:
		if (copy_from_user(&pulse, argp, sizeof(pulse)))
			return -EFAULT;
		rig_pulse_inputs(&pulse);
		return 0;
	case RIG_GET_OUTPUTS:
		spin_lock_irqsave(&rig.lock, flags);
		outputs.lines = rig.lines & RIG_OUTPUTS;
		outputs.breaks = rig.breaks;
		spin_unlock_irqrestore(&rig.lock, flags);
		if (copy_to_user(argp, &outputs, sizeof(outputs)))
			return -EFAULT;
		return 0;
	case RIG_HANG_UP:
		tty_port_tty_hangup(&rig.port, false);
		return 0;
	}
	return -ENOTTY;
}

static const struct file_operations rig_control_fops = {
	.owner = THIS_MODULE,
	.read = rig_control_read,
	.write = rig_control_write,
	.unlocked_ioctl = rig_control_ioctl,
	.llseek = noop_llseek,
};

static struct miscdevice rig_control = {
	.minor = MISC_DYNAMIC_MINOR,
	.name = "quillmark-rig",
	.fops = &rig_control_fops,
	.mode = 0600,
};

static int rig_bind(struct platform_device *pdev)
{
	return 0;
}

/* Names the hardware's driver as sysfs shows it: what the program may not probe. */
static struct platform_driver rig_hardware_driver = {
	.probe = rig_bind,
};

static int __init rig_init(void)
{
	struct device *dev;
	int ret;

	ret = match_string(rig_profiles, ARRAY_SIZE(rig_profiles), profile);
	if (ret < 0)
		return ret;
	rig_profile = ret;
	rig_hardware_driver.driver.name = rig_driver_names[rig_profile];
	if (rig_hardware_driver.driver.name) {
		ret = platform_driver_register(&rig_hardware_driver);
		if (ret)
			return ret;
	}

	spin_lock_init(&rig.lock);
	INIT_KFIFO(rig.sent);
	tty_port_init(&rig.port);
	rig.port.ops = &rig_port_ops;

	rig_driver = tty_alloc_driver(1, TTY_DRIVER_DYNAMIC_DEV);
	if (IS_ERR(rig_driver)) {
		ret = PTR_ERR(rig_driver);
		goto err_port;
	}
	rig_driver->driver_name = "quillmark_rig";
	rig_driver->name = "ttyRIG";
	rig_driver->type = TTY_DRIVER_TYPE_SERIAL;
	rig_driver->subtype = SERIAL_TYPE_NORMAL;
	rig_driver->init_termios = tty_std_termios;
	rig_driver->init_termios.c_cflag = B9600 | CS8 | CREAD | HUPCL | CLOCAL;
	tty_set_operations(rig_driver, &rig_tty_ops);

	ret = tty_register_driver(rig_driver);
	if (ret)
		goto err_driver;
	rig_hardware = platform_device_register_simple(
		rig_hardware_driver.driver.name ?: "quillmark_rig", PLATFORM_DEVID_NONE, NULL, 0);
	if (IS_ERR(rig_hardware)) {
		ret = PTR_ERR(rig_hardware);
		goto err_registered;
	}
	dev = tty_port_register_device(&rig.port, rig_driver, 0, &rig_hardware->dev);
	if (IS_ERR(dev)) {
		ret = PTR_ERR(dev);
		goto err_hardware;
	}
	ret = misc_register(&rig_control);
	if (ret)
		goto err_device;
	timer_setup(&rig.publisher, rig_publish, 0);
	if (rig_profile == RIG_SAMPLED)
		rig_publish(&rig.publisher);
	return 0;

err_device:
	tty_unregister_device(rig_driver, 0);
err_hardware:
	platform_device_unregister(rig_hardware);
err_registered:
	tty_unregister_driver(rig_driver);
err_driver:
	tty_driver_kref_put(rig_driver);
err_port:
	tty_port_destroy(&rig.port);
	if (rig_hardware_driver.driver.name)
		platform_driver_unregister(&rig_hardware_driver);
	return ret;
}

static void __exit rig_exit(void)
{
	del_timer_sync(&rig.publisher);
	misc_deregister(&rig_control);
	tty_unregister_device(rig_driver, 0);
	platform_device_unregister(rig_hardware);
	tty_unregister_driver(rig_driver);
	tty_driver_kref_put(rig_driver);
	tty_port_destroy(&rig.port);
	if (rig_hardware_driver.driver.name)
		platform_driver_unregister(&rig_hardware_driver);
}

module_init(rig_init);
module_exit(rig_exit);
MODULE_DESCRIPTION("Serial tty driven from a control device, for tests");
MODULE_LICENSE("GPL");
