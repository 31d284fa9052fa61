#pragma once
// The one exception type of the core. Handlers do not catch it; the application's
// common slot guard shows its message and the program goes on.
#include <stdexcept>
#include <string>

namespace tesora {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // The program speaks German (what()); the Python module speaks English. A refusal the
    // module can meet carries its English wording too.
    Error(const std::string& german, std::string english) : std::runtime_error(german), english_(std::move(english)) {}

    // The English wording, or the German one where none was given.
    const char* English() const noexcept { return english_.empty() ? what() : english_.c_str(); }

private:
    std::string english_;
};

}  // namespace tesora
