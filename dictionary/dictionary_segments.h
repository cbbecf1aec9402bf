#pragma once
// The data object numbers by which the dictionary's own segments are known,
// by release. Nothing looks a dictionary table up by name.

#include <cstdint>
#include <optional>

#include "datafile/block_scan.h"

namespace restorix {

// The same in every supported release.
constexpr std::int32_t kObjectClusterSegment = 2;       // C_OBJ#: cluster keys and COL$ rows
constexpr std::int32_t kUserClusterSegment = 10;        // C_USER#: cluster keys and USER$ rows
constexpr std::int32_t kObjectTableSegment = 18;        // OBJ$
constexpr std::int32_t kConstraintNameSegment = 28;     // CON$
constexpr std::int32_t kConstraintClusterSegment = 29;  // C_COBJ#: cluster keys, CDEF$ and CCOL$ rows

// The segments whose numbers differ by release, and TRIGGER$'s stored column
// count (its last column holds the body).
struct ReleaseSegments {
    int release = 0;  // 9, 10 or 11
    std::int32_t source = 0;   // SOURCE$
    std::int32_t view = 0;     // VIEW$
    std::int32_t trigger = 0;  // TRIGGER$
    int triggerColumns = 0;
};

inline constexpr ReleaseSegments kSegmentsByRelease[] = {
    {9, 71, 62, 82, 19},
    {10, 72, 63, 81, 19},
    {11, 215, 69, 156, 23},
};

// The row of the file's release; nullopt when no supported release was found.
std::optional<ReleaseSegments> releaseSegments(const ReleaseInfo& release);

// The SOURCE$ data object number of the file's release; 0 when none is known.
std::int32_t sourceSegment(const ReleaseInfo& release);

}  // namespace restorix
