// The Linux socket calls behind the wsock32 stand-in, in a file of their own: the Linux socket
// headers and the stand-in's Windows names of the same calls never meet in one file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace standin::posix {

// How a Linux socket call failed, in the terms the Windows error codes need.
enum class Failure { None, TimedOut, Reset, Refused, Other };

// A TCP socket's descriptor, or -1.
int OpenStreamSocket(Failure& failure);

// Connects to `address` (network byte order) at `port` (host byte order).
bool Connect(int descriptor, std::uint32_t address, std::uint16_t port, Failure& failure);

// Sets the receive or send time-out; 0 milliseconds means none.
bool SetTimeout(int descriptor, bool receive, std::uint32_t milliseconds);

// Turns Nagle's algorithm off (TCP_NODELAY) or on again.
bool SetNoDelay(int descriptor, bool no_delay);

// As send and recv: the byte count, or -1 with `failure` set. A send to a closed peer fails with
// Reset instead of raising a signal, as on Windows.
long Send(int descriptor, const char* bytes, std::size_t length, Failure& failure);
long Receive(int descriptor, char* bytes, std::size_t length, Failure& failure);

void Close(int descriptor);

}  // namespace standin::posix
