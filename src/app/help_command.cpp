#include "app/help_command.h"

#include <cstdio>

#include "app/command_line.h"

namespace tarvelo::app {

int runHelp() {
    std::fputs(usageText().c_str(), stdout);
    return 0;
}

}  // namespace tarvelo::app
