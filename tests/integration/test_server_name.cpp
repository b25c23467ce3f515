// The integration tests run against the JACK server that jack_server.sh starts under the name
// tarvelo-test. The test driver is meant to pass that name in JACK_DEFAULT_SERVER; when it does
// not, it is set here, before any test (or program the tests run) looks for a server.
#include <cstdlib>

namespace {

struct DefaultTestServer {
    DefaultTestServer() {
        ::setenv("JACK_DEFAULT_SERVER", "tarvelo-test", 0);  // 0: an explicit choice wins
        ::setenv("JACK_NO_START_SERVER", "1", 0);
    }
};
const DefaultTestServer defaultTestServer;

}  // namespace
