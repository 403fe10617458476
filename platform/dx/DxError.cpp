#include "platform/dx/DxError.h"

#include <string>

namespace {
std::string armedOperation;
int32_t armedNumber = 0;
}  // namespace

void ArmDxFault(const char* operation, int32_t number) {
    armedOperation = operation;
    armedNumber = number;
}

void DisarmDxFaults() {
    armedOperation.clear();
}

void DxFaultPoint(const char* operation) {
    if (armedOperation.empty() || armedOperation != operation) return;
    armedOperation.clear();
    throw DxError(armedNumber, std::string("injected failure in ") + operation);
}
