#include "core/RuntimeError.h"

std::string StandardErrorDescription(int number) {
    switch (number) {
        case rt::InvalidCall:
            return "Invalid procedure call or argument";
        case rt::Overflow:
            return "Overflow";
        case rt::OutOfMemory:
            return "Out of memory";
        case rt::SubscriptOutOfRange:
            return "Subscript out of range";
        case rt::DivisionByZero:
            return "Division by zero";
        case rt::TypeMismatch:
            return "Type mismatch";
        case rt::BadFileNameOrNumber:
            return "Bad file name or number";
        case rt::FileNotFound:
            return "File not found";
        case rt::InputPastEndOfFile:
            return "Input past end of file";
        case rt::PermissionDenied:
            return "Permission denied";
        case rt::PathFileAccessError:
            return "Path/File access error";
        case rt::InvalidFileFormat:
            return "Invalid file format";
        default:
            return "Application-defined or object-defined error";
    }
}
