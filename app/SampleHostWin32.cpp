#include "app/SampleHost.h"

// Windows has no pseudo-terminals: the simulator will serve a loopback TCP
// port there, which the settings can name once the program talks to hosts
// over the network. Until then no sample host is offered.
TSampleHostLine SampleHostLine(const QString&) {
    return {};
}
