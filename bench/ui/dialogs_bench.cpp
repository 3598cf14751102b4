// Opening, loading and closing with OK every message settings dialog in the
// core, without a display, against opening and closing the main dialog in
// the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

#include "data/dx470data.h"
#include "data/msgtypes.h"
#include "data/positions.h"
#include "editor/main_dialog.h"
#include "editor/message_settings.h"
#include "editor/message_types.h"
#include "measure.h"
#include "ui/script.h"

namespace {

using bench::Measure;

// Runs `dialog` with a script that only presses OK.
int RunOk(ui::Dialog& dialog) {
  std::istringstream script("ok\n");
  std::ostringstream report;
  auto services = ui::MakeScriptedServices(script, report);
  return dialog.DoModal(*services);
}

}  // namespace

int main() {
  auto data = std::make_unique<CDX470Data>();
  dx470::PARAM& param = data->Param();
  bool met = true;
  const double main = Measure(50, [&] {
    editor::DX470MainDialog dialog(*data);
    RunOk(dialog);
  });
  std::printf("main dialog, open and OK:                 %.4f ms\n", main);
  for (uint8_t receive = 1; receive < dx470::kTypeCodeCount; ++receive) {
    const uint8_t send = editor::MessageTypesDialog::SendTypesFor(receive).back();
    dx470::DeleteMessage(param, 0, "Text?");
    dx470::DefineMessage(param, 0, receive, send, false, "Text?");
    if (!editor::MakeMessageSettings(param, 0, receive)) {
      std::printf("%-40s not available\n", dx470::TypeName(receive));
      met = false;
      continue;
    }
    const double ours = Measure(50, [&] {
      auto dialog = editor::MakeMessageSettings(param, 0, receive);
      RunOk(*dialog);
    });
    const bool fast = ours < 5.0;
    met = met && fast;
    std::printf("settings of %-28s %.4f ms  (target < 5 ms: %s; %.2f x the main dialog)\n",
                (std::string(dx470::TypeName(receive)) + ":").c_str(), ours, fast ? "met" : "MISSED",
                ours / main);
  }
  return met ? 0 : 1;
}
