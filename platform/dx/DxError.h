// Failures of the DirectX operations: every failing call throws DxError carrying the
// DirectX 7 error number, which the error tables turn into a constant name and description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class DxError : public std::runtime_error {
  public:
    DxError(int32_t number, const std::string& what) : std::runtime_error(what), number_(number) {}
    int32_t Number() const { return number_; }

  private:
    int32_t number_;
};

// Test hook: the next call of the named operation fails with the given number. Operations
// check it with DxFaultPoint; nothing arms it outside tests.
void ArmDxFault(const char* operation, int32_t number);
void DisarmDxFaults();
void DxFaultPoint(const char* operation);
