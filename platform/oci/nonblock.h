// Non-blocking calls, breaks and the test gates.
#pragma once

#include "internal.h"

#include <functional>
#include <sstream>

namespace oci {

// Runs one call of the session: at once when blocking, else on the session's
// worker, returning -3123 until the same call (entry, key) is made again after
// it finished. Another call while one is pending gives 3127.
int runCall(Session& s, const char* entry, const void* key, std::function<int(OraError&)> work,
            OraError& err);
// True when a different call is pending on the session.
bool sessionBusy(Session& s, const void* key, const char* entry);
// Asks the pending (or running) call to stop; true when one was pending.
bool requestBreak(Session& s);
// Waits until the pending call has finished.
void waitPending(Session& s);
// Called once per row of DML and fetch: false when a break ends the call.
bool sessionTick(Session& s, int row);
void stopWorker(Session& s);
// Control commands of this part; -2 when the verb is not one of them.
int nonblockControl(const std::string& verb, std::istringstream& in, std::string& reply);

} // namespace oci
