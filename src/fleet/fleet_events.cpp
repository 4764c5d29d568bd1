#include "fleet/fleet_events.h"

#include "base/result_code.h"
#include "base/result_messages.h"

std::string EndMessage(const RunEnd& end) {
    if (end.code == kOk && end.dryRun) return "Dry run: the update would go ahead.";
    return ResultMessage(end.code);
}
