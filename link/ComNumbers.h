// COM numbers that stay with their devices, and what a device is (Linux).
//
// A serial device's identity is its /dev/serial/by-id name, which udev makes
// of the USB serial number and the interface
// ("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"), or for a legacy port its
// kernel name ("ttyS0"). The first COM number an identity is given is
// remembered in a file of its own in the per-user settings folder
// (com-numbers.conf beside the window's settings file there), so the device
// keeps it across unplugging, replugging into another hub port and reboots.
// How the numbers are given:
//   1. A remembered identity has its number, plugged in or not. Not plugged
//      in, the number leads to the identity's by-id path, which is not there:
//      an open fails and the path names the unit; it never falls to another.
//   2. Devices without an identity (no by-id name), in the old order (ttyS,
//      ttyUSB, ttyACM, each by number), take the lowest numbers that no
//      identity holds.
//   3. A new identity takes the lowest number that is neither remembered nor
//      held by rule 2 now, and is remembered.
// A [ports] entry of the settings file still wins for its number
// (ComResolver.h); it is not looked at here.
//
// The file is only ever replaced whole, under a lock (com-numbers.lock),
// after reading it again, so programs extending it at once lose nothing. A
// file that cannot be read or is damaged is an error, never taken as empty.
// Nothing is kept between calls; any thread. The file functions, identities
// and the numbering are POSIX only: Windows numbers its ports itself.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ComResolver.h"

// COM number -> identity, as remembered.
using ComNumberMap = std::map<int, std::string>;

// ---- Any system -----------------------------------------------------------

// The USB serial number in a by-id name as udev makes it,
// "usb-<vendor>_<product>_<serial>-if00-port0" -> "<serial>"; "" for a name
// of another form (a legacy port's identity included).
std::string UsbSerialOfIdentity(const std::string& identity);

// Whether text can be an identity in the file: one name without blanks,
// control characters or '/', not "." or "..".
bool IsIdentityText(const std::string& text);

// The file's text and back. Parsing is strict: a line that is not blank, a
// comment or "COMn identity", a number or identity given twice, or a NUL is
// damage; *error then says which line and why (without the file's name).
// The error texts here come in the tools' language (CliText.h: Tr); only the
// tools show them.
bool ParseComNumbers(const std::string& text, ComNumberMap* numbers, std::string* error);
std::string FormatComNumbers(const ComNumberMap& numbers);

// Rules 1 to 3 for devices in the old order, given by identity ("" for none):
// the number of each (0 when all 256 are taken); new identities are added to
// *remembered.
std::vector<int> AssignComNumbers(const std::vector<std::string>& identities,
                                  ComNumberMap* remembered);

// ---- POSIX ------------------------------------------------------------------

// This user's numbers file: "<per-user folder>/Quillbeck/ZETA-7/com-numbers.conf";
// "" with *error when there is no per-user folder (no HOME).
std::string ComNumbersFilePath(std::string* error);

// The remembered numbers; a file that is not there holds none. False with
// *error ("<path>: <reason>") when it cannot be read or is damaged.
bool ReadComNumbers(const std::string& path, ComNumberMap* numbers, std::string* error);

// Under the lock: reads the file again, lets change alter the numbers, and
// replaces the file when they changed (making the folder when missing).
// *numbers is the result. False with *error when the file is damaged or
// cannot be read, locked or written; the file is then left as it was.
bool UpdateComNumbers(const std::string& path, const std::function<void(ComNumberMap*)>& change,
                      ComNumberMap* numbers, std::string* error);

// The identity of a device node ("/dev/ttyUSB0" under devRoot): the by-id
// name leading to it, else its kernel name for a ttyS port, else "".
std::string IdentityOfDevice(const std::string& node, const std::string& devRoot = "/dev");

// The by-id links that name is the USB serial number or the by-id name of,
// sorted; two or more for one serial number mean the number alone does not
// say which device (two interfaces, or two devices with one serial).
std::vector<std::string> ByIdLinksNamed(const std::string& name,
                                        const std::string& devRoot = "/dev");

// The present serial devices with their identities and numbers, the file
// extended with new identities.
struct ComNumbering {
  std::vector<SerialDevice> present;  // the old order; comNumber 0 for none
  ComNumberMap remembered;            // as the file holds them now
  std::string file;                   // the numbers file; "" when there is none
  // Why some or all devices have no number: the file cannot be read, is
  // damaged, or new devices could not be remembered. Empty when all have one.
  std::string error;
};
ComNumbering NumberSerialDevices(const std::string& sysRoot, const std::string& devRoot,
                                 const std::string& numbersFile);
// The same with this user's numbers file.
ComNumbering NumberSerialDevices(const std::string& sysRoot = "/sys",
                                 const std::string& devRoot = "/dev");

// Where COM number n leads without a [ports] entry.
struct ComNumberTarget {
  std::string device;    // the node; for a unit not plugged in the path that names it; "" for none
  std::string identity;  // "" for a device without one, or none
  bool present = false;  // the device is plugged in
  bool remembered = false;
  std::string error;  // the numbering's error when n has no device and may have had one
};
ComNumberTarget ComNumberTargetOf(int n, const ComNumbering& numbering,
                                  const std::string& devRoot = "/dev");
// The same, numbering the devices now.
ComNumberTarget FindComNumber(int n, const std::string& sysRoot = "/sys",
                              const std::string& devRoot = "/dev");

// The number remembered for identity; 0 when none.
int ComNumberOfIdentity(const std::string& identity, const ComNumbering& numbering);
