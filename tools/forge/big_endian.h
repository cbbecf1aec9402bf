#pragma once
// A forged datafile as the same database would have written it on a
// big-endian platform (Solaris SPARC, AIX, HP-UX): every integer of the block
// structure stored most significant byte first, column values and row-piece
// addresses as they are (they are the same bytes on every platform).

#include <string>

namespace restorix::forge {

struct BigEndianCopy {
    // The size the file's blocks are read in: the SYSTEM file's 8K whatever
    // its header says, another file's own.
    int blockSize = 8192;
    // 4,096 bytes before block 0, as a dd copy of an AIX raw logical volume has.
    bool aixLeader = false;
};

// Rewrites the little-endian datafile at `path` in place. Throws
// std::runtime_error naming the file when it cannot be read or written.
void rewriteBigEndian(const std::string& path, const BigEndianCopy& copy);

}  // namespace restorix::forge
