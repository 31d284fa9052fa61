#pragma once
// A value asked for that cannot be drawn (an option, a column, a file name's format).
// The command line reports it as its own usage error (exit status 2) and shares the type.
#include <QString>
#include <stdexcept>

namespace tesora::plot {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

}  // namespace tesora::plot
