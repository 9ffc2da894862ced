// The IPv4 socket address structure (sockaddr_in) for interfaces that take it
// by reference; only this header brings the system definition in.
#pragma once

#include <netinet/in.h>
