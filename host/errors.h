#pragma once
// Failures are exceptions; every handler catches them at its end and registers them
// with the message service (messages.h).
#include <stdexcept>
#include <string>

namespace infemora {

class EInfemora : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that is no valid date, time or number.
class EConvertError : public EInfemora {
public:
    using EInfemora::EInfemora;
};

// A file that cannot be opened, read, written, renamed or flushed.
class EFileError : public EInfemora {
public:
    using EInfemora::EInfemora;
};

} // namespace infemora
