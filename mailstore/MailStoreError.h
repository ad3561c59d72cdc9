#pragma once
#include <stdexcept>
#include <string>

namespace bv::mailstore {

// Every failing mail store operation throws this; the message says what failed and why.
class MailStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace bv::mailstore
