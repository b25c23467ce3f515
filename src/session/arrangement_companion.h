#pragma once

#include <string>

#include "model/companion_file.h"
#include "model/part_list.h"

namespace tarvelo {

class MessageBoxes;

// Gives `parts` (just read from the arrangement file at `path`) the settings its companion file
// holds. Without a companion file the defaults stay, and nothing is said; one that cannot be used
// (unreadable, damaged, of a newer version, for another number of Parts) is reported in one box
// and the defaults stay. The companion file is only read: it stays as it is until the next save.
void loadCompanionSettings(const std::string& path, PartList& parts, MessageBoxes& boxes);

// The text of the box for a companion file at companionPath that cannot be used.
std::string describeCompanionFault(const std::string& companionPath, const CompanionFault& fault);

}  // namespace tarvelo
