#pragma once

namespace torv::testing {

// A TCP port on 127.0.0.1 that nothing listened on a moment ago, for a server
// a test or benchmark starts of its own (a broker, a scrape endpoint).
int FreeLoopbackPort();

} // namespace torv::testing
