#pragma once

#include <sys/resource.h>

namespace dla {

/// Peak resident memory of the process so far, in MB (Linux reports ru_maxrss in kB).
inline double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace dla
