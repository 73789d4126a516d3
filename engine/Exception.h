#pragma once
// The program's exception classes. Every failure that the engine and the
// settings report is one of these; the message is UTF-8 and never holds a password.

#include "os/WinTypes.h"

#include <stdexcept>
#include <string>

namespace engine {

// The general error class.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A failed operating-system call; ErrorCode is the Windows error code, or 0.
class EOSError : public Exception {
public:
    EOSError(const std::string& message, DWORD errorCode) : Exception(message), ErrorCode(errorCode) {}
    DWORD ErrorCode;
};

// Late binding failures.
class EJwaError : public Exception {
public:
    using Exception::Exception;
};
class EJwaLoadLibraryError : public EJwaError {
public:
    using EJwaError::EJwaError;
};
class EJwaGetProcAddressError : public EJwaError {
public:
    using EJwaError::EJwaError;
};

// A registry value of the wrong type, or a write that the registry refused.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

}  // namespace engine
