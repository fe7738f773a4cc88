// One request on one connection, from its first byte to the closing of the
// socket: read the head, choose the behaviour from the path, take the body as
// told (stored, hashed, counted, slowly, or cut off), file the record, answer.
#pragma once

#include <cstdint>

namespace receiver {

class Server;

void ServeConnection(Server& server, int fd, std::uint64_t id);

}  // namespace receiver
