#pragma once
// The printed documentation of a device's configuration: a header with the
// device data on every page, one block per shown message in display order
// and a closing page with the general parameters, drawn on a print device
// in units of 1/300 inch scaled to its resolution.
#include <cstdint>
#include <string>

#include "base/hresult.h"
#include "data/records.h"
#include "ui/print.h"
#include "ui/services.h"

class CDX470Data;

namespace editor {

// What the report asks of the host: the header texts and the group
// addresses linked to a communication object.
class PrintSource {
 public:
  virtual ~PrintSource();
  // Appends to the prefilled `project` and `address`; fills the others.
  virtual HRESULT HeaderTexts(std::string& project, std::string& product, std::string& description,
                              std::string& address, const std::string& label) = 0;
  // The formatted addresses of object `number`, each followed by "; ".
  virtual HRESULT GroupAddresses(int16_t number, std::string& addresses) = 0;
};

// A time of the general parameters as the report writes it ("1,5 sec",
// "2,0 min", " Forever").
std::string ReportTime(int32_t tenths);

// Prints the report of `param` on `device`. Fails for a resolution other
// than 300, 600, 900, 1200 or 2400 dpi without printing anything.
HRESULT PrintReport(ui::PrintDevice& device, const dx470::PARAM& param, PrintSource& source);

// The menu command: the print dialog, the resolution check with its
// warning, then the report.
void PrintDocumentation(ui::PlatformServices& services, const dx470::PARAM& param, PrintSource& source);
// The same for a device's data object, asking its host for the texts.
void PrintDeviceDocumentation(CDX470Data& data);

}  // namespace editor
