// One command/reply exchange with the unit.
//
// TransactOn(port, clock, cmd, reply, cap) drains the input, sends cmd + CR LF,
// waits 4L+28 then 8L+40 ms (L = line length), skips the echo up to its LF,
// skips leading CRs, and collects one reply line of at most cap - 1
// characters, NUL-terminated. It returns the number of characters stored.
//
// Port needs ReadByte() and WriteString(); Clock needs Sleep(int ms). The
// dialog passes its real port and the system clock; tests pass fakes on
// virtual time.
#pragma once

// (implementation below is written with the link library)
