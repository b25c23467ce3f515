#include "app/version_command.h"

#include <cstdio>

namespace tarvelo::app {

int runVersion() {
    std::puts("Tarvelo " TARVELO_VERSION);
    return 0;
}

}  // namespace tarvelo::app
