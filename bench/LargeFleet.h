#pragma once

namespace orva::bench {

// The figure of a large fleet: a thousand simulated projectors (eight with
// quick) on one hub at the default poll interval, each with a share and a
// PJLink door, and the HTTP door. Prints the hub's resident size, its CPU
// share and wake-ups over a window after the first round, once with every
// line's polls falling together (as a start opens them all at once) and
// once spread over the interval (the lines added by reloads in batches),
// the descriptors it holds, and whether every projector stayed up and was
// polled every round meanwhile (from the hub's own metrics). Returns false,
// with the reason on standard error, when it could not be measured.
bool measureLargeFleet(bool quick);

} // namespace orva::bench
