#pragma once
// Executes one procedure list (a GUID and 16-byte records, as the plug-in's
// download writes them) over a device link: open and close connect and
// disconnect, write ranges go out from the smallest type-2 segment holding
// them in telegrams of at most 12 bytes, read ranges fill a segment's data
// and second buffer, restarts restart the device. Records run in order;
// after an error (unknown list or record, a range outside every segment, a
// truncated list, a link failure) what went before stays executed.
// `wroteWholeImage` is set when the list wrote every byte of its largest
// segment. `recordLimit` simulates a bus failure: records from that index
// on are not executed and it is an error. With `verify` every written run is
// read back and compared right after it was written. `onRange` hears of
// every write or read range once it has been executed.
#include <cstdint>
#include <functional>
#include <string>

#include "com/stream.h"
#include "host/device_link.h"
#include "host/download_executor.h"
#include "hostapi/download.h"

namespace host {

using RangeObserver = std::function<void(uint8_t code, uint32_t start, uint32_t end)>;
bool ExecuteProcedures(IStream* stream, ImageSegmentList& segments, DeviceLink& link, BusTraffic& traffic,
                       bool& wroteWholeImage, std::string& error, size_t recordLimit = SIZE_MAX,
                       bool verify = false, const RangeObserver& onRange = {});

// What ExecuteProcedures would send for the list (with `verify`, the
// read-backs too), without executing it; a list it would refuse plans what
// comes before the record it stops at.
BusTraffic PlanProcedures(IStream* stream, const ImageSegmentList& segments, bool verify);

}  // namespace host
