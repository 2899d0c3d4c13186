#include "standins/embedder/core/contract_violations.h"

#include <atomic>
#include <cstdio>

namespace velora::standin {

namespace {

std::atomic<int> g_violations{0};

}  // namespace

int ContractViolations() {
  return g_violations.load();
}

void ReportContractViolation(const char* what) {
  g_violations.fetch_add(1);
  std::fprintf(stderr, "stand-in embedder: contract violation: %s\n", what);
  std::fflush(stderr);
}

}  // namespace velora::standin
