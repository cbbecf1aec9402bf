#pragma once
// Whose objects a recovery keeps, chosen before the analysis and passed as
// one value to the analysis, the saved scripts and the data alike.

#include "dictionary/oracle_number.h"

namespace restorix {

// SYS's user number.
inline constexpr DictionaryNumber kSysUser = 0;

enum class RecoveryOption { None, SysOnly, AllButSys, All };

class RecoveryOptions {
public:
    RecoveryOptions() = default;
    explicit RecoveryOptions(RecoveryOption option) : option_(option) {}

    RecoveryOption option() const { return option_; }
    bool chosen() const { return option_ != RecoveryOption::None; }

    // The one rule of whose objects a recovery keeps: SYS's alone, all but
    // SYS's, or all; nobody's until an option is chosen.
    bool keepsSchema(bool isSys) const {
        switch (option_) {
            case RecoveryOption::SysOnly: return isSys;
            case RecoveryOption::AllButSys: return !isSys;
            case RecoveryOption::All: return true;
            case RecoveryOption::None: break;
        }
        return false;
    }
    bool keepsOwner(DictionaryNumber owner) const { return keepsSchema(owner == kSysUser); }

private:
    RecoveryOption option_ = RecoveryOption::None;
};

}  // namespace restorix
