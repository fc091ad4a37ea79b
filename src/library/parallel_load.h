#pragma once
// Loading many records at once: the files are read on several threads, and each record
// is handed back on the calling thread in the order given, so that what follows a load
// (its report, its place in a list) keeps the order of the scan.
#include <cstddef>
#include <functional>
#include <span>

#include "library/mp3_file_record.h"

namespace quorvane {

// Called on the calling thread for each record, in the order of the records, once it and
// every record before it are loaded.
using LoadTaken = std::function<void(size_t index, const Mp3FileRecord::LoadResult& result)>;

// Asked, on any of the loading threads, before each record is begun: true ends the work.
using LoadStopped = std::function<bool()>;

// Loads every record (Mp3FileRecord::Load) on up to `threads` threads, the calling thread
// among them; each record is loaded by one thread only and handed to `taken`. With one
// thread, or few records, everything runs on the calling thread. Once `stopped` says so,
// no record is begun; those already loaded are still handed over, in order, up to the
// first one left out.
void LoadInOrder(std::span<const RecordPtr> records, const LoadOptions& options, unsigned threads,
                 const LoadTaken& taken, const LoadStopped& stopped = {});

}  // namespace quorvane
