#pragma once

// Ports on 127.0.0.1 for the web servers the tests start.

// A port nobody listens on now; another process may still take it first.
int freeLoopbackPort();
// Whether something accepts connections on the port.
bool acceptsOnLoopback(int port);
