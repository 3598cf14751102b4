#pragma once
// Runs a dialog modally in the Qt view and hands the shown QDialog to a test:
// `look` runs once the dialog is up (after `delay` ms); after 10 s the dialog
// is cancelled, so that a broken test cannot hang.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

#include "ui/dialog.h"

namespace testsupport {

inline int RunShown(ui::Dialog& dialog, ui::PlatformServices& services, std::function<void(QDialog*)> look,
                    int delay = 0) {
  QTimer::singleShot(delay, [look] { look(qobject_cast<QDialog*>(QApplication::activeModalWidget())); });
  QTimer::singleShot(10000, [] {
    if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget())) w->reject();
  });
  return dialog.DoModal(services);
}

}  // namespace testsupport
