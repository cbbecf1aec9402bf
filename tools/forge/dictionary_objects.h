#pragma once
// The dictionary segments a SYSTEM datafile holds, by their fixed data object
// numbers, and the stored column counts of their rows, per release.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace restorix::forge {

enum class Release { V9, V10, V11 };

inline Release releaseFromNumber(int major) {
    switch (major) {
        case 9: return Release::V9;
        case 10: return Release::V10;
        case 11: return Release::V11;
        default: throw std::invalid_argument("release must be 9, 10 or 11, not " + std::to_string(major));
    }
}

// The text PROPS$ holds under NLS_RDBMS_VERSION.
inline const char* defaultReleaseText(Release release) {
    switch (release) {
        case Release::V9: return "9.2.0.1.0";
        case Release::V10: return "10.2.0.1.0";
        case Release::V11: return "11.1.0.6.0";
    }
    return "";
}

// Data object numbers of the dictionary segments.
constexpr std::int32_t kObjClusterObject = 2;     // C_OBJ#: TAB$, COL$
constexpr std::int32_t kUserClusterObject = 10;   // C_USER#: USER$
constexpr std::int32_t kObjObject = 18;           // OBJ$
constexpr std::int32_t kConObject = 28;           // CON$
constexpr std::int32_t kCobjClusterObject = 29;   // C_COBJ#: CDEF$, CCOL$
constexpr std::int32_t kPropsObject = 98;         // PROPS$

struct ReleaseLayout {
    std::int32_t sourceObject;   // SOURCE$
    std::int32_t viewObject;     // VIEW$
    std::int32_t triggerObject;  // TRIGGER$
    int userColumns;             // USER$ member row, without the key column
    int objColumns;              // OBJ$
    int colColumns;              // COL$ member row, without the key column
    int cdefColumns;             // CDEF$ member row, without the key column
    int ccolColumns;             // CCOL$ member row, without the key column
    int triggerColumns;          // TRIGGER$; the body is the last one
};

constexpr ReleaseLayout kRelease9{71, 62, 82, 17, 17, 20, 15, 4, 19};
constexpr ReleaseLayout kRelease10{72, 63, 81, 19, 18, 20, 20, 5, 19};
constexpr ReleaseLayout kRelease11{215, 69, 156, 22, 18, 23, 20, 5, 23};

inline const ReleaseLayout& layoutOf(Release release) {
    switch (release) {
        case Release::V9: return kRelease9;
        case Release::V10: return kRelease10;
        case Release::V11: return kRelease11;
    }
    return kRelease10;
}

constexpr int kViewColumns = 8;
constexpr int kSourceColumns = 3;

// Every data object number some release gives a dictionary segment: scenario
// objects and filler segments stay clear of all of them.
constexpr std::array<std::int32_t, 15> kReservedDataObjects{
    kObjClusterObject, kUserClusterObject, kObjObject, kConObject, kCobjClusterObject, kPropsObject,
    kRelease9.sourceObject, kRelease9.viewObject, kRelease9.triggerObject,
    kRelease10.sourceObject, kRelease10.viewObject, kRelease10.triggerObject,
    kRelease11.sourceObject, kRelease11.viewObject, kRelease11.triggerObject};

inline bool isReservedDataObject(std::int64_t number) {
    for (auto reserved : kReservedDataObjects)
        if (reserved == number) return true;
    return false;
}

// Object type numbers as OBJ$ stores them.
enum class ObjectKind : int {
    Index = 1,
    Table = 2,
    View = 4,
    Procedure = 7,
    Function = 8,
    Trigger = 12,
};

}  // namespace restorix::forge
