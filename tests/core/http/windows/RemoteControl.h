#pragma once

// The Windows tests' side of the control channel to quendry-sim-control (RemoteServer_win32.cpp),
// shared by the stand-ins of the server and of its services.

#include "tests/core/http/remote/RemoteWire.h"

#include <winsock2.h>

#include <cstdint>
#include <string>

namespace OnlineServicesSim::remote
{

struct SocketCloser
{
    SOCKET socket;
    ~SocketCloser() { closesocket(socket); }
};

// Sends all of text, then ends the sending side, as every message of the channel ends.
bool SendAll(SOCKET socket, const std::string& text);
// Everything until the peer ends its sending side.
std::string ReceiveAll(SOCKET socket);

// One command, one answer; a failed command throws, which fails the test that gave it.
FieldReader Command(const FieldWriter& command);
FieldWriter About(const char* command, uint64_t id);

} // namespace OnlineServicesSim::remote
