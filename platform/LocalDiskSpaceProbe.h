#pragma once

#include "platform/DiskSpaceProbe.h"

// Measures directories of this machine's own filesystems. Anything that is not a local path
// (DiskAddressKind::Local) fails, even when a directory of that odd name exists, so a share
// address is never mistaken for a relative path. A relative path is resolved against the
// working directory, as given.
//
// Only directories are measured: a path naming a file fails. The address names a place
// where the data lives; a file there is almost always a typing mistake, and measuring
// whichever volume happens to hold it would hide that mistake behind plausible figures.
//
// The calls can block in the kernel for as long as a dead network mount takes to answer,
// and nothing bounds them: the time-out of prepare() is the sweep's to keep.
class LocalDiskSpaceProbe : public DiskSpaceProbe {
public:
    Measurement prepare(const QString& address, std::chrono::milliseconds timeout) override;
    bool answersAtOnce(const QString& address) const override;
};
