#pragma once
// The one exception type of the core. Handlers do not catch it; the application's
// common slot guard shows its message and the program goes on.
#include <stdexcept>
#include <string>

namespace tesora {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tesora
