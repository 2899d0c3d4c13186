// Breaches of the embedder's contracts that the stand-in can see (a second
// response to one message, a response after shutdown, an unlock without a
// lock, an unknown handle...). Each is counted and written to standard error,
// so tests can assert that the host broke none.
#ifndef VELORA_STANDINS_EMBEDDER_CORE_CONTRACT_VIOLATIONS_H_
#define VELORA_STANDINS_EMBEDDER_CORE_CONTRACT_VIOLATIONS_H_

#include "standins/embedder/core/standin_export.h"

namespace velora::standin {

// Violations seen so far in this process, by every stand-in object.
VELORA_STANDIN_EXPORT int ContractViolations();

// Counts one violation and writes "stand-in embedder: contract violation: "
// and `what` as one line to standard error.
VELORA_STANDIN_EXPORT void ReportContractViolation(const char* what);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_CORE_CONTRACT_VIOLATIONS_H_
