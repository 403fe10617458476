// The run-time errors of the program: a classic error number and a description. Together
// with DxError they are the only failures; the one trap in Main reports them and ends.
#pragma once

#include <stdexcept>
#include <string>

namespace rt {
constexpr int InvalidCall = 5;
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int BadFileNameOrNumber = 52;
constexpr int FileNotFound = 53;
constexpr int InputPastEndOfFile = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int InvalidFileFormat = 321;
}  // namespace rt

// The run-time's own wording for its error numbers ("Subscript out of range", ...).
std::string StandardErrorDescription(int number);

class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    explicit RuntimeError(int number) : RuntimeError(number, StandardErrorDescription(number)) {}
    int Number() const { return number_; }
    std::string Description() const { return what(); }

  private:
    int number_;
};

// Checked index into a table: out of range is run-time error 9, never undefined behaviour.
template <typename Table>
auto& At(Table& table, long long index) {
    if (index < 0 || static_cast<unsigned long long>(index) >= table.size()) {
        throw RuntimeError(rt::SubscriptOutOfRange);
    }
    return table[static_cast<size_t>(index)];
}
