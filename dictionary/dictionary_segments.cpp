#include "dictionary/dictionary_segments.h"

namespace restorix {

std::optional<ReleaseSegments> releaseSegments(const ReleaseInfo& release) {
    const int wanted = release.isVersion9 ? 9 : release.isVersion10 ? 10 : release.isVersion11 ? 11 : 0;
    for (const ReleaseSegments& segments : kSegmentsByRelease) {
        if (segments.release == wanted) return segments;
    }
    return std::nullopt;
}

std::int32_t sourceSegment(const ReleaseInfo& release) {
    const std::optional<ReleaseSegments> segments = releaseSegments(release);
    return segments ? segments->source : 0;
}

}  // namespace restorix
