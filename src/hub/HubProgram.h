#pragma once

namespace orva::hub {

// orva-hub's whole program: reads its command line and configuration, binds
// its doors, serves until SIGTERM, SIGINT or SIGHUP. Returns the exit status: 0, 2
// for a bad command line or configuration, 3 when a door cannot be bound.
int runHub(int argc, char* argv[]);

} // namespace orva::hub
