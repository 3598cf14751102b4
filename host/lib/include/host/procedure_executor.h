#pragma once
// Executes one procedure list (a GUID and 16-byte records, as the plug-in's
// download writes them) against 64 KiB of device memory: write ranges copy
// from the type-2 segments, read ranges fill a segment's data and second
// buffer, restarts restart the device. Records run in order; after an error
// (unknown list or record, a range outside every segment, a truncated list)
// the records before it stay executed. `recordLimit` simulates a bus
// failure: records from that index on are not executed and it is an error.
#include <cstdint>
#include <string>

#include "com/stream.h"
#include "host/download_executor.h"
#include "hostapi/download.h"

namespace host {

class SimulatedDevice;

bool ExecuteProcedures(IStream* stream, ImageSegmentList& segments, uint8_t* memory,
                       SimulatedDevice* device, BusTraffic& traffic, bool& wroteWholeImage,
                       std::string& error, size_t recordLimit = SIZE_MAX);

}  // namespace host
