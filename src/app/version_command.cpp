#include "app/version_command.h"

#include <cstdio>

namespace tarvelo::app {

int runVersion() {
    std::puts("Tarvelo " TARVELO_VERSION
              "\n"
              "License GPL-3.0-or-later: GNU GPL version 3 or later "
              "<https://gnu.org/licenses/gpl.html>");
    return 0;
}

}  // namespace tarvelo::app
