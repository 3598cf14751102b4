// The product a DX 47x device is added from.
#include "host/project.h"

namespace host {

DeviceTemplate Dx47xDeviceTemplate() {
  DeviceTemplate t;
  t.data.name = "DX 47x text display";
  t.data.productName = "DX 47x text display";
  t.data.manufacturerName = "Vornak";
  t.data.orderNumber = "DX 470";
  t.data.description = "LCD text display with 16 messages, alarms and two fonts";
  t.data.programName = "DX47x display 1.0";
  t.data.programVersion = 0x10;
  t.data.deviceType = 0x0470;
  // The 16 receive types, the 16 send types and one reserved byte, mirrored
  // one parameter each.
  for (int32_t order = 1; order <= 33; ++order) t.displayOrders.push_back(order);
  t.objects.push_back({0, "Backlight", "Switch", true});
  for (int32_t i = 1; i <= 16; ++i)
    t.objects.push_back({i, "Receive message " + std::to_string(i), "Receive value", true});
  for (int32_t i = 1; i <= 16; ++i)
    t.objects.push_back({16 + i, "Send message " + std::to_string(i), "Send value", true});
  t.objects.push_back({33, "Alarm state", "Send status", true});
  t.objects.push_back({34, "Alarm confirmation", "Acknowledge", true});
  return t;
}

}  // namespace host
