// One request on one connection, from its first byte to the closing of the
// socket: read the head, choose the behaviour from the path, take the body as
// told (stored, hashed, counted, slowly, or cut off), file the record, answer.
#pragma once

#include <cstdint>

struct ssl_ctx_st;

namespace receiver {

class Server;

// With `tls` the connection first completes a TLS handshake and everything
// after it, the record included, is the decrypted stream.
void ServeConnection(Server& server, int fd, std::uint64_t id, ssl_ctx_st* tls);

}  // namespace receiver
