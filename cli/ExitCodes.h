#pragma once
// Exit statuses scripts can rely on.

namespace tesora::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a picture or output file that cannot be used
constexpr int kExitUsage = 2;    // the command line itself is wrong

}  // namespace tesora::cli
